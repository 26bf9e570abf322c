# Every library the engine and the tools link, gathered in one interface target.
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
find_library(GLU_LIBRARY GLU REQUIRED)
find_library(MP3LAME_LIBRARY mp3lame REQUIRED)
find_library(FLTK_LIBRARY fltk REQUIRED)

add_library(zorx_deps INTERFACE)
target_link_libraries(zorx_deps INTERFACE
    PkgConfig::SDL2 OpenGL::GL ${GLU_LIBRARY} PNG::PNG JPEG::JPEG TIFF::TIFF
    PkgConfig::VORBIS PkgConfig::MPG123 PkgConfig::FREETYPE ${MP3LAME_LIBRARY}
    ${FLTK_LIBRARY} Threads::Threads ${CMAKE_DL_LIBS})
