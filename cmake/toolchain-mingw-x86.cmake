# 32-bit Windows (the taskbar-wheel plug-in and the program that loads it).
set(CMAKE_SYSTEM_PROCESSOR X86)
set(QUELLBAR_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
