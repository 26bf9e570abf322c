// The scene-graph window's tree control as the scene graph sees it: hooks that the window
// fills while its control exists (all null otherwise). Item handles are non-zero; an insert
// returns 0 and the others false when the control refuses.
#pragma once

#include <cstdint>
#include <string_view>

using TreeItem = uintptr_t;

// Icons of the tree items, by the bitmap resource they show.
enum TreeIcon : int32_t {
    kIconPointLight = 2402,
    kIconSpotLight = 2403,
    kIconDirectionalLight = 2404,
    kIconCamera = 2405,
    kIconMesh = 2406,
    kIconOther = 2408,
};

struct TreeView {
    // Inserts an item as the last child of parent (0: at the top level).
    TreeItem (*insertItem)(TreeItem parent, std::string_view text, TreeIcon icon) = nullptr;
    bool (*setItemText)(TreeItem item, std::string_view text) = nullptr;
    // Removes the item and every item below it.
    bool (*deleteItem)(TreeItem item) = nullptr;
    void (*ensureVisible)(TreeItem item) = nullptr;
};
extern TreeView treeView;

inline bool treeViewExists() {
    return treeView.insertItem != nullptr;
}
