// Debug keys and the choices of the debug drawing that need no display.
#include "effects/debug_draw.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/events.h"
#include "render/debug_display.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"

namespace {

struct DebugKeys : testing::Test {
    void SetUp() override {
        debugDisplay = DebugDisplayState{};
        eventState = EventState{};
    }
    void TearDown() override {
        debugDisplay = DebugDisplayState{};
        eventState = EventState{};
    }
    // One frame at the given clock time with the key held.
    void frameWithKey(int key, uint32_t now) {
        eventState.clock.now = now;
        eventState.keys[key] = 1;
        readDebugKeys();
        eventState.keys[key] = 0;
    }
};

TEST_F(DebugKeys, TreeLevelRunsThroughEveryDepthAndBackToOff) {
    std::vector<int32_t> levels;
    for (int press = 1; press <= 10; press++) {
        frameWithKey(kKeyTreeLevel, 1000u * uint32_t(press));
        levels.push_back(debugDisplay.treeLevel);
    }
    EXPECT_EQ(levels, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, -1}));
}

TEST_F(DebugKeys, HeldKeyChangesOnlyAfterMoreThanTheRepeatTime) {
    frameWithKey(kKeyWireframe, 1000);
    EXPECT_TRUE(debugDisplay.wireframe);
    frameWithKey(kKeyWireframe, 1100);
    frameWithKey(kKeyWireframe, 1250); // exactly 250 ms later: no change yet
    EXPECT_TRUE(debugDisplay.wireframe);
    frameWithKey(kKeyWireframe, 1251);
    EXPECT_FALSE(debugDisplay.wireframe);
    EXPECT_EQ(debugDisplay.lastW, 1251u);

    // A key at the very start of the clock waits for the repeat time as well.
    debugDisplay = DebugDisplayState{};
    frameWithKey(kKeyBoxMode, 250);
    EXPECT_EQ(debugDisplay.boxMode, 0);
}

TEST_F(DebugKeys, BoxModeCyclesAndNormalsFollowTheKey) {
    std::vector<int32_t> modes;
    for (int press = 1; press <= 4; press++) {
        frameWithKey(kKeyBoxMode, 300u * uint32_t(press));
        modes.push_back(debugDisplay.boxMode);
    }
    EXPECT_EQ(modes, (std::vector<int32_t>{1, 2, 0, 1}));

    eventState.keys[kKeyNormals] = 1;
    readDebugKeys();
    EXPECT_TRUE(debugDisplay.normals);
    eventState.keys[kKeyNormals] = 0;
    readDebugKeys();
    EXPECT_FALSE(debugDisplay.normals);
}

TEST_F(DebugKeys, ClockWrapStillCountsAsTimePassed) {
    debugDisplay.lastW = 0xFFFFFF00u;
    frameWithKey(kKeyWireframe, 0x20u); // 0x120 ms after the last change
    EXPECT_TRUE(debugDisplay.wireframe);
}

TEST(WireframeColour, FollowsTheLastDigitOfTheNameHash) {
    EXPECT_EQ(objectNameHash(""), 0);
    EXPECT_EQ(objectNameHash("A"), 65);
    EXPECT_EQ(objectNameHash("AB"), 65 * 33 + 66);
    // Bytes above 127 count as negative.
    EXPECT_EQ(objectNameHash("\xff"), -1);
    // Wraps at 32 bits.
    uint32_t h = 0;
    for (char c : std::string("a rather long object name")) h = h * 33u + uint8_t(c);
    EXPECT_EQ(objectNameHash("a rather long object name"), int32_t(h));

    struct Case {
        const char* name;
        float rgb[3];
    } cases[] = {
        {"", {1, 1, 0}},           // 0
        {"A", {0.5f, 0, 0.5f}},    // 65
        {"\xff", {1, 0, 1}},       // -1: written "-1", last digit 1
        {"\xfe", {0.5f, 0, 0.5f}}, // -2
        {"\x01", {1, 0, 1}},       // 1
        {"\x04", {0, 1, 1}},       // 4
        {"\x08", {0, 0.5f, 0.5f}}, // 8
        {"\x03", {1, 1, 0}},       // 3
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(objectNameHash(c.name));
        float rgb[3] = {-1, -1, -1};
        wireframeColour(c.name, rgb);
        EXPECT_EQ(rgb[0], c.rgb[0]);
        EXPECT_EQ(rgb[1], c.rgb[1]);
        EXPECT_EQ(rgb[2], c.rgb[2]);
    }
}

TEST(DebugBox, ModeTwoShowsTheParentsBoxOrTheObjectsOwn) {
    SceneObject parent, child, loose;
    SceneNode parentNode{nullptr, nullptr, 0, 0, &parent};
    SceneNode childNode{&parentNode, nullptr, 0, 0, &child};
    parent.treeNode = &parentNode;
    child.treeNode = &childNode;
    EXPECT_EQ(&debugBoxOf(child, 1), &child.worldBox);
    EXPECT_EQ(&debugBoxOf(child, 2), &parent.worldBox);
    EXPECT_EQ(&debugBoxOf(parent, 2), &parent.worldBox); // a root object: its own box
    EXPECT_EQ(&debugBoxOf(loose, 2), &loose.worldBox);   // not in the graph
}

} // namespace
