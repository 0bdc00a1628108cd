# Libraries the layer is built over; both forms of the layer link them.
# Areas add theirs here (pkg_check_modules(... IMPORTED_TARGET ...) and the target).
set(WIN32_LAYER_LIBS Threads::Threads ${CMAKE_DL_LIBS})
# WinINet's transfers.
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
list(APPEND WIN32_LAYER_LIBS PkgConfig::CURL)
# GDI's pixels and regions.
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
list(APPEND WIN32_LAYER_LIBS PkgConfig::PIXMAN)
# GDI's fonts: faces resolved through fontconfig, glyphs from FreeType.
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
list(APPEND WIN32_LAYER_LIBS PkgConfig::FREETYPE PkgConfig::FONTCONFIG)
# GDI+ image decoding and JPEG saving.
pkg_check_modules(GDIPLUS_JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(GDIPLUS_PNG REQUIRED IMPORTED_TARGET libpng)
find_package(ZLIB REQUIRED)  # rewriting 16-bit interlaced PNGs
list(APPEND WIN32_LAYER_LIBS PkgConfig::GDIPLUS_JPEG PkgConfig::GDIPLUS_PNG ZLIB::ZLIB)
# The X11 presenter.
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11 xcursor xrender xrandr xinerama)
list(APPEND WIN32_LAYER_LIBS PkgConfig::X11)
