# The system libraries the engine and the tools link; each folder's library names its own.
find_package(PkgConfig REQUIRED)
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbisenc vorbis ogg)
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
# The loudness of a recording's sound is measured by libebur128.
pkg_check_modules(EBUR128 IMPORTED_TARGET libebur128)
if(NOT EBUR128_FOUND)
    message(FATAL_ERROR "libebur128 is needed to measure the loudness of recordings "
                        "(Debian: libebur128-dev; scripts/install-deps installs it)")
endif()
find_library(GLU_LIBRARY GLU REQUIRED)
find_library(MP3LAME_LIBRARY mp3lame REQUIRED)
find_library(FLTK_LIBRARY fltk REQUIRED)
find_library(FLTK_IMAGES_LIBRARY fltk_images REQUIRED)
find_package(X11 REQUIRED)
# The dialogs and the tree window: FLTK with its PNG reader, on X11 (the shared libraries
# bring Xft, fontconfig, Xext and the rest themselves, as `fltk-config --ldflags` says).
set(ZORX_FLTK_LIBRARIES ${FLTK_IMAGES_LIBRARY} ${FLTK_LIBRARY} X11::X11)
# RandR puts the display mode back when a second stop signal ends the program at once; the
# tests watch the gamma ramp through the X server's RECORD extension (libXtst).
if(NOT X11_Xrandr_FOUND OR NOT X11_Xtst_FOUND)
    message(FATAL_ERROR "libXrandr and libXtst are needed (Debian: libxrandr-dev libxtst-dev)")
endif()
