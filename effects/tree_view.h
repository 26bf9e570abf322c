// The developer-mode scene-graph window: "ZORX_OpenGL", 200 pixels wide beside the main
// window and as high as it, holding the "Scene Graph" tree (grey, white text) with an
// icon for each kind of object. While it exists it fills the scene graph's tree-view hooks,
// so the graph's nodes appear, change and vanish in it as they are attached, renamed and
// detached. Closing it leaves the graph without its mirror.
#pragma once

inline constexpr const char* kTreeWindowTitle = "ZORX_OpenGL";
inline constexpr const char* kTreeWindowClass = "KORAL Software - ZORX_OpenGL_Tree_Class";
inline constexpr const char* kTreeControlText = "Scene Graph";
inline constexpr int kTreeWindowWidth = 200;

// Lets the main window's creation make the tree window (in developer mode) and its
// destruction remove it.
void installTreeWindow(bool useOwnIcon);

// Where the window's frame goes beside the main window's frame (`main`, frame included) on the
// usable desktop: to its right where that fits, else to its left where that fits, else
// against the screen edge on the side with more room. As high as the main window (480 without
// one).
struct TreeWindowPlace {
    int x = 0;
    int y = 0;
    int height = 0;
};
TreeWindowPlace treeWindowPlace(int mainX, int mainY, int mainWidth, int mainHeight, int usableX,
                                int usableWidth, int frameWidth);

// Makes the window beside the main window; no display or a missing icon is fatal.
void createTreeWindow();
void destroyTreeWindow();
