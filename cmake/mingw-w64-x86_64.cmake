# Cross build of Quillmap.exe for 64-bit Windows with Debian's MinGW-w64
# (package mingw-w64):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The executable is linked fully static so that it runs on a bare Windows
# without the MinGW runtime DLLs (libstdc++, libgcc, libwinpthread).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLMAP_MINGW_TRIPLET x86_64-w64-mingw32)

# Prefer the posix-threads variant: its libstdc++ has the full <thread> and
# <mutex>; the win32 variant of GCC 12 lacks them.
find_program(CMAKE_C_COMPILER NAMES ${QUILLMAP_MINGW_TRIPLET}-gcc-posix ${QUILLMAP_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QUILLMAP_MINGW_TRIPLET}-g++-posix ${QUILLMAP_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QUILLMAP_MINGW_TRIPLET}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMAP_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
