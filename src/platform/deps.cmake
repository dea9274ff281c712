# External packages of the platform layer (the only code that includes their headers).
pkg_check_modules(KORVELA_PLATFORM_PKGS REQUIRED IMPORTED_TARGET
  sdl2 freetype2 fontconfig vorbisfile vorbisenc vorbis ogg
  libavformat libavcodec libavutil libswscale libswresample)
set(KORVELA_DEPS_platform PkgConfig::KORVELA_PLATFORM_PKGS ZLIB::ZLIB)
