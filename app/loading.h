// The loading phase: every asset of the demo read from the bigfile in one fixed order, with
// the loading dialog's status lines and progress; and the release of what it keeps besides the
// engine's registries.
#pragma once

void runLoadingPhase();
void releaseLoadedAssets();
