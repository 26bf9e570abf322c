// The demotool commands. Each takes the arguments after the command name and returns the
// process exit code. Reports go to standard error in the batch format; fatal ends with 1.
#pragma once

int runPack(int argc, char** argv);      // pack OUT.dat FILE...
int runList(int argc, char** argv);      // list ARCHIVE
int runExtract(int argc, char** argv);   // extract ARCHIVE NAME [OUT]
int runDecode(int argc, char** argv);    // decode IN OUT.png [--colour-key]
int runInspect(int argc, char** argv);   // inspect FILE.3ds [--no-textures] [--json]
int runMix(int argc, char** argv);       // mix IN OUT.wav [--rate R] [--volume V]
int runFlashes(int argc, char** argv);   // flashes RECORDING
int runView(int argc, char** argv);      // view FILE.3ds [--camera NAME] [--frame F] ...
int runBuildData(int argc, char** argv); // build-data [--preview] OUTDIR
int runResources(int argc, char** argv); // resources OUTDIR
