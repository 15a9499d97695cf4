# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads variant).
#
#   cmake -G Ninja -S <source> -B <build> \
#         -DCMAKE_TOOLCHAIN_FILE=<repo>/cmake/mingw-w64.cmake \
#         -DQUORVEL_TERCEIROS=<folder given to scripts/windows/dependencias.sh>
#
# The third-party libraries built for Windows (libxml2, GoogleTest, the database
# client's headers) live in <QUORVEL_TERCEIROS>/prefix; find_package, find_path and
# find_library look there and in the compiler's own sysroot, never in /usr.
# Test programs run under Wine with a prefix inside the build folder, so every build
# folder starts from a clean Windows.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVEL_MINGW_ALVO x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVEL_MINGW_ALVO}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVEL_MINGW_ALVO}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVEL_MINGW_ALVO}-windres)
set(CMAKE_AR ${QUORVEL_MINGW_ALVO}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${QUORVEL_MINGW_ALVO}-ranlib CACHE FILEPATH "")

# The folder of the third-party libraries. The toolchain file is read again inside
# every try_compile, where the cache of the main project is not visible: the value is
# handed on through the environment.
if(NOT QUORVEL_TERCEIROS AND DEFINED ENV{QUORVEL_TERCEIROS})
  set(QUORVEL_TERCEIROS "$ENV{QUORVEL_TERCEIROS}")
endif()
set(QUORVEL_TERCEIROS "${QUORVEL_TERCEIROS}" CACHE PATH
    "Folder given to scripts/windows/dependencias.sh (libraries in its prefix/)")
if(NOT QUORVEL_TERCEIROS)
  message(FATAL_ERROR "QUORVEL_TERCEIROS is not set: pass -DQUORVEL_TERCEIROS=<folder> "
                      "(the folder given to scripts/windows/dependencias.sh)")
endif()
set(ENV{QUORVEL_TERCEIROS} "${QUORVEL_TERCEIROS}")

set(CMAKE_FIND_ROOT_PATH "${QUORVEL_TERCEIROS}/prefix" /usr/${QUORVEL_MINGW_ALVO})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config would answer with the Linux libraries.
set(PKG_CONFIG_EXECUTABLE "" CACHE FILEPATH "" FORCE)

# The programs carry libgcc, libstdc++ and winpthread inside them: they run under
# Wine or on a laboratory's machine without any mingw DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs (add_test, gtest_discover_tests) run under Wine, headless, with a
# prefix of their own in the build folder; scripts/windows/wine.sh creates it on the
# first run.
get_filename_component(_quorvel_raiz "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(QUORVEL_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH
    "Wine prefix in which the test programs run")
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env "WINEPREFIX=${QUORVEL_WINEPREFIX}" "${_quorvel_raiz}/scripts/windows/wine.sh")
