# Cross-compiles Vexlarin for 64-bit Windows with mingw-w64 (Debian's g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DVEXLARIN_WINDOW=OFF -DVEXLARIN_TESTS=OFF -DVEXLARIN_WERROR=ON
# The -posix compilers: the default (-win32) thread model has no std::thread. Linked statically,
# so that vexlarin-list.exe needs no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEXLARIN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEXLARIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXLARIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXLARIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VEXLARIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
