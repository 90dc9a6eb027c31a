# Cross build of ostrel.exe for 64-bit Windows with mingw-w64:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# CTest runs the Windows executables under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OSTREL_MINGW x86_64-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# of GCC 12 lacks. ostrel itself uses no thread.
set(CMAKE_C_COMPILER ${OSTREL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OSTREL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${OSTREL_MINGW}-windres)

# Libraries and headers come from the mingw-w64 tree only, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${OSTREL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static: the .exe runs with nothing but the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(OSTREL_WINE NAMES wine wine64 wine-stable)
if(OSTREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OSTREL_WINE})
endif()
