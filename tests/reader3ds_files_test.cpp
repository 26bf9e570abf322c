// 3DS files written by other programs: `demotool inspect --json` (our reader) against the
// system's independent reader (libassimp, no post-processing): mesh object names with their
// face counts, camera and light counts, and the parent-child pairs of the hierarchy.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "assimp_scene.h"
#include "support/test_support.h"

namespace {

// Just enough JSON for demotool's output.
struct Json {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    double number = 0;
    bool boolean = false;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    const Json& operator[](const std::string& key) const {
        static const Json missing;
        for (const auto& [name, value] : members)
            if (name == key) return value;
        return missing;
    }
};

struct JsonParser {
    const std::string& in;
    size_t at = 0;
    bool failed = false;

    void space() {
        while (at < in.size() && std::isspace(static_cast<unsigned char>(in[at]))) ++at;
    }
    bool take(char c) {
        space();
        if (at < in.size() && in[at] == c) return ++at, true;
        return false;
    }
    std::string string() {
        std::string out;
        if (!take('"')) return failed = true, out;
        while (at < in.size() && in[at] != '"') {
            char c = in[at++];
            if (c == '\\' && at < in.size()) {
                c = in[at++];
                if (c == 'u') {
                    out += char(std::stoi(in.substr(at, 4), nullptr, 16));
                    at += 4;
                    continue;
                }
                c = c == 'n' ? '\n' : c == 't' ? '\t' : c;
            }
            out += c;
        }
        ++at;
        return out;
    }
    Json value() {
        Json v;
        space();
        if (at >= in.size()) return failed = true, v;
        char c = in[at];
        if (c == '{') {
            v.type = Json::Object, ++at;
            if (take('}')) return v;
            do {
                std::string key = string();
                if (!take(':')) return failed = true, v;
                v.members.emplace_back(key, value());
            } while (take(','));
            if (!take('}')) failed = true;
        } else if (c == '[') {
            v.type = Json::Array, ++at;
            if (take(']')) return v;
            do v.items.push_back(value());
            while (take(','));
            if (!take(']')) failed = true;
        } else if (c == '"') {
            v.type = Json::String, v.text = string();
        } else if (in.compare(at, 4, "null") == 0) {
            at += 4;
        } else if (in.compare(at, 4, "true") == 0 || in.compare(at, 5, "false") == 0) {
            v.type = Json::Bool, v.boolean = in[at] == 't', at += v.boolean ? 4 : 5;
        } else {
            v.type = Json::Number;
            size_t used = 0;
            v.number = std::stod(in.substr(at, 40), &used);
            at += used;
        }
        return v;
    }
};

struct CommandResult {
    int exitCode = -1;
    std::string output;
};

CommandResult run(const std::string& command) {
    CommandResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// What both readers are compared on.
struct SceneSummary {
    unsigned loadedTextures = 0;               // face groups with a GL texture
    std::map<std::string, unsigned> meshFaces; // mesh object name -> face count
    std::multiset<unsigned> faceCounts;
    unsigned cameras = 0;
    unsigned lights = 0;
    std::set<std::pair<std::string, std::string>> parentChild;
};

SceneSummary inspectWithDemotool(const std::string& file, bool textures) {
    SceneSummary summary;
    std::string command = std::string(ZORX_BIN_DIR) + "/demotool inspect '" + file + "' --json" +
                          (textures ? "" : " --no-textures");
    CommandResult result = run(command);
    EXPECT_EQ(result.exitCode, 0) << command;
    JsonParser parser{result.output};
    Json root = parser.value();
    EXPECT_FALSE(parser.failed) << result.output;
    for (const Json& object : root["objects"].items) {
        const std::string& name = object["name"].text;
        unsigned faces = unsigned(object["faces"].number);
        if (faces > 0) summary.meshFaces[name] = faces, summary.faceCounts.insert(faces);
        for (const Json& group : object["faceGroups"].items)
            if (group["glTexture"].number > 0) ++summary.loadedTextures;
        if (object["camera"].boolean) ++summary.cameras;
        if (object["lightKind"].number > 0) ++summary.lights;
        if (object["parent"].type == Json::String)
            summary.parentChild.insert({object["parent"].text, name});
    }
    return summary;
}

void collectNodes(const aiScene& scene, const aiNode& node, SceneSummary& summary) {
    unsigned faces = 0;
    for (unsigned i = 0; i < node.mNumMeshes; ++i)
        faces += scene.mMeshes[node.mMeshes[i]]->mNumFaces;
    if (faces > 0) summary.meshFaces[node.mName.C_Str()] = faces, summary.faceCounts.insert(faces);
    for (unsigned i = 0; i < node.mNumChildren; ++i) {
        if (&node != scene.mRootNode)
            summary.parentChild.insert({node.mName.C_Str(), node.mChildren[i]->mName.C_Str()});
        collectNodes(scene, *node.mChildren[i], summary);
    }
}

SceneSummary importWithAssimp(const std::string& file, bool& generatedNames) {
    SceneSummary summary;
    const aiScene* scene = assimpLibrary().importFile(file.c_str(), 0);
    EXPECT_NE(scene, nullptr) << file;
    if (!scene) return summary;
    // Without a keyframer the other reader invents node names ("3DSMesh_0" under a dummy
    // root); then only the face counts can be compared.
    generatedNames = std::string(scene->mRootNode->mName.C_Str()) == "<3DSDummyRoot>";
    collectNodes(*scene, *scene->mRootNode, summary);
    summary.cameras = scene->mNumCameras;
    summary.lights = scene->mNumLights;
    assimpLibrary().release(scene);
    return summary;
}

std::vector<std::string> sceneFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(testdataDir() + "/3ds")) {
        std::string extension = entry.path().extension().string();
        if (extension == ".3ds" || extension == ".3DS") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Vertex counts are not compared: our reader splits vertices only where smoothing groups
// meet (and keeps unused ones), the other gives every face corner its own vertex.
void compare(const SceneSummary& ours, const SceneSummary& theirs, bool generatedNames) {
    EXPECT_FALSE(theirs.faceCounts.empty());
    if (generatedNames) {
        EXPECT_EQ(ours.faceCounts, theirs.faceCounts);
    } else {
        EXPECT_EQ(ours.meshFaces, theirs.meshFaces);
        EXPECT_EQ(ours.parentChild, theirs.parentChild);
    }
    EXPECT_EQ(ours.cameras, theirs.cameras);
    EXPECT_EQ(ours.lights, theirs.lights);
}

TEST(Reader3dsFiles, EveryFileMatchesTheIndependentReader) {
    SKIP_WITHOUT_TESTDATA("3ds");
    ASSERT_TRUE(assimpLibrary().ok()) << "libassimp is not installed";
    std::vector<std::string> files = sceneFiles();
    ASSERT_GE(files.size(), 9u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        bool generatedNames = false;
        SceneSummary theirs = importWithAssimp(file, generatedNames);
        compare(inspectWithDemotool(file, false), theirs, generatedNames);
    }
}

// Padding behind the main chunk, a main chunk that claims one byte more than the file holds,
// and the last byte cut off (a file that lost its end): each variant of every file loads
// with the objects and the hierarchy of the file itself.
TEST(Reader3dsFiles, PaddedAndCutShortVariantsLoadWhatIsWhole) {
    SKIP_WITHOUT_TESTDATA("3ds");
    TempDir dir;
    for (const std::string& file : sceneFiles()) {
        const std::vector<unsigned char> bytes = readWholeFile(file);
        std::vector<unsigned char> padded = bytes, longer = bytes;
        padded.insert(padded.end(), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF});
        longer[2] = uint8_t(longer[2] + 1); // no file here is a multiple of 256 bytes long
        const std::vector<unsigned char> cut(bytes.begin(), bytes.end() - 1);
        const SceneSummary original = inspectWithDemotool(file, false);
        for (const auto& [what, variant] :
             {std::pair{"padded", padded}, {"longer main chunk", longer}, {"cut", cut}}) {
            SCOPED_TRACE(file + " " + what);
            writeWholeFile(dir.file("variant.3ds"), variant);
            compare(inspectWithDemotool(dir.file("variant.3ds"), false), original, false);
        }
    }
}

// Only this file names a texture that is present and has power-of-two sides (the JPEG
// images beside it are 800 x 446 and the like, which the texture manager refuses).
TEST(Reader3dsFiles, TexturedFileLoadsWithItsTexture) {
    SKIP_WITHOUT_TESTDATA("3ds");
    HiddenGLWindow window;
    if (!window.ok) GTEST_SKIP() << "no display";
    std::string file = testdataDir() + "/3ds/cube_with_diffuse_texture.3DS";
    bool generatedNames = false;
    SceneSummary ours = inspectWithDemotool(file, true);
    compare(ours, importWithAssimp(file, generatedNames), generatedNames);
    EXPECT_EQ(ours.loadedTextures, 1u);
    CommandResult text = run(std::string(ZORX_BIN_DIR) + "/demotool inspect '" + file + "'");
    EXPECT_NE(text.output.find("texture TEST.PNG"), std::string::npos) << text.output;
}

} // namespace
