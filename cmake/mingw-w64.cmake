# 64-bit Windows programs from Debian's mingw-w64 (the POSIX-threads variant
# of its compilers, which std::thread needs), run under wine:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKORVEL_GUI=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVEL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVEL_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KORVEL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Each .exe runs alone: libgcc, libstdc++ and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
# ctest runs the test programs through wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
