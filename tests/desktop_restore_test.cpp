// The cells the immediate end stores to put a window's ramp back are the cells SDL itself
// stores for that ramp: the same StoreColors request, byte for byte, watched on the display.
#include <gtest/gtest.h>
// After the test library: the X headers define None.
#include <SDL.h>
#include <SDL_syswm.h>

#include <cstring>

#include "platform/desktop_restore.h"
#include "platform/window.h"
#include "support/x_watch.h"

namespace {

// The request's items as the X server receives them: pixel, red, green, blue, flags, a pad.
std::string storeColorsItems(const std::vector<XColor>& cells) {
    std::string bytes;
    for (const XColor& cell : cells) {
        char item[12] = {};
        uint32_t pixel = uint32_t(cell.pixel);
        std::memcpy(item, &pixel, 4);
        std::memcpy(item + 4, &cell.red, 2);
        std::memcpy(item + 6, &cell.green, 2);
        std::memcpy(item + 8, &cell.blue, 2);
        item[10] = cell.flags;
        bytes.append(item, sizeof item);
    }
    return bytes;
}

TEST(RampCells, AreTheCellsSdlStoresForTheRamp) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << "no display";
    ColourMapWatch watch(display);
    ASSERT_TRUE(watch.ok()) << "no RECORD extension";
    SDL_Window* window = SDL_CreateWindow("ramp cells", 0, 0, 64, 64, SDL_WINDOW_OPENGL);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    // SDL sends a window's ramp while the window has the keyboard focus.
    SDL_SetWindowInputFocus(window);
    for (int i = 0; i < 200 && SDL_GetKeyboardFocus() != window; ++i) {
        SDL_PumpEvents();
        SDL_Delay(10);
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(window, &info));
    XWindowAttributes attributes;
    XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes);
    if (attributes.visual->c_class != DirectColor) GTEST_SKIP() << "no DirectColor visual";

    GammaRamp ramp;
    for (int i = 0; i < 256; ++i) {
        ramp.red[i] = uint16_t(i * 257);
        ramp.green[i] = uint16_t(65535 - i * 200);
        ramp.blue[i] = uint16_t(i * i);
    }
    ASSERT_EQ(SDL_SetWindowGammaRamp(window, ramp.red, ramp.green, ramp.blue), 0) << SDL_GetError();
    XSync(info.info.x11.display, False);
    watch.finish();
    const std::string expected = storeColorsItems(rampCells(*attributes.visual, ramp));
    ASSERT_EQ(watch.stores.count(attributes.colormap), 1u) << "SDL stored no ramp";
    EXPECT_EQ(watch.stores[attributes.colormap].back(), expected);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

} // namespace
