#include "support/demo_runs.h"

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Limits found on the demo's pictures: the same frame multisampled (other edge pixels) differs
// by a mean of 0.7 with a worst block of 10, the whole picture moved by one pixel (more than
// another rasteriser's rounding does) by a mean of up to 6.3 with a worst block of 16; pictures
// of other points of the timeline differ by a mean of 70 and more.
constexpr double kMeanLimit = 8.0;
constexpr double kBlockLimit = 48.0;
constexpr int kBlock = 8;

} // namespace

ConfigRecord demoRunRecord(int width, int height) {
    ConfigRecord record;
    std::vector<unsigned char> shipped = readWholeFile(ZORX_DATA_DIR "/ConfigEngine.cfg");
    if (shipped.size() == sizeof record) std::memcpy(&record, shipped.data(), sizeof record);
    record.block1.fullscreen = 0;
    record.block1.screenWidth = width;
    record.block1.screenHeight = height;
    record.block2.multisampling = 0;
    // With anisotropic filtering, llvmpipe spends minutes on single frames of the first scene
    // (from t = 15640 ms); the runs here must fit in the test time.
    record.block2.anisotropy = 1; // "Off"
    return record;
}

void prepareDemoFolder(const std::string& dir, const ConfigRecord& record) {
    std::filesystem::create_symlink(ZORX_DATA_DIR "/Film_03.dat", dir + "/Film_03.dat");
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    writeWholeFile(dir + "/" + kConfigFileName, {bytes, bytes + sizeof record});
}

DemoRun runDemoProgram(const std::string& dir, const std::string& arguments,
                       const std::string& instance, int timeoutSeconds) {
    std::string command = "cd '" + dir + "' && FILM03_INSTANCE=" + instance +
                          " SDL_AUDIODRIVER=dummy timeout -k 5 " + std::to_string(timeoutSeconds) +
                          " " ZORX_BIN_DIR "/film03 " + arguments + " >out.txt 2>err.txt";
    int status = std::system(command.c_str());
    DemoRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = slurp(dir + "/out.txt");
    run.err = slurp(dir + "/err.txt");
    return run;
}

std::string goldenPath(const std::string& shotName) {
    return ZORX_SOURCE_DIR "/tests/golden/" + shotName;
}

bool updatingGoldens() {
    const char* update = std::getenv("ZORX_UPDATE_GOLDEN");
    return update != nullptr && std::string(update) == "1";
}

GoldenVerdict compareWithGolden(const RgbPicture& shot, const RgbPicture& golden) {
    GoldenVerdict verdict;
    if (shot.width % kGoldenShrink != 0 || shot.height % kGoldenShrink != 0) {
        verdict.why = "odd screenshot size";
        return verdict;
    }
    PictureDifference difference =
        comparePictures(shrinkPicture(shot, kGoldenShrink), golden, kBlock);
    std::ostringstream why;
    why << "mean difference " << difference.meanAbsolute << " (limit " << kMeanLimit
        << "), worst block " << difference.worstBlock << " (limit " << kBlockLimit << ")";
    if (!difference.sameSize) why.str("sizes differ");
    verdict.why = why.str();
    verdict.matches = difference.sameSize && difference.meanAbsolute <= kMeanLimit &&
                      difference.worstBlock <= kBlockLimit;
    return verdict;
}
