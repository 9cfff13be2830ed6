# Cross-building for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix: the
# "posix" thread model, which std::thread needs). The programs link libstdc++, libgcc and
# winpthread statically, so that an .exe runs alone, with no MinGW DLL beside it.
# The one toolchain file of every Windows build: the project's (tools/build-windows.sh) and the
# libraries' it builds into its cache (tools/build-qt-windows.sh, tools/build-curl-windows.sh).
# Their cache folders are named by a hash of its lines other than comments, so a change to any of
# those lines means a new build of the libraries (for Qt, half an hour or more).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QVN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QVN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QVN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QVN_MINGW_TRIPLET}-windres)

# Libraries built for Windows outside the distribution (tools/build-qt-windows.sh puts a static Qt
# and libjpeg-turbo in one folder, tools/build-curl-windows.sh a static libcurl in another) are
# found there, given as -DQVN_WINDOWS_PREFIX=<folder> and -DQVN_CURL_PREFIX=<folder>.
set(CMAKE_FIND_ROOT_PATH /usr/${QVN_MINGW_TRIPLET} ${QVN_WINDOWS_PREFIX} ${QVN_CURL_PREFIX})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QVN_WINDOWS_PREFIX QVN_CURL_PREFIX)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The tests run under Wine, in a Wine prefix of the build's own, without a display and without
# Wine's own messages. Wine creates the prefix on its first run.
find_program(QVN_WINE NAMES wine wine64 wine-stable)
if(QVN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
            WINEDLLOVERRIDES=mscoree,mshtml= ${QVN_WINE})
endif()
