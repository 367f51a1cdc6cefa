# Cross-build for Windows with Debian's MinGW-w64 (posix thread model:
# GoogleTest needs std::mutex). The including file sets QUELLBAR_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUELLBAR_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUELLBAR_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUELLBAR_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUELLBAR_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
# Resource scripts include headers of texts and ids: have windres's
# preprocessor write what it read, so that Ninja rebuilds a script whose
# headers changed.
set(CMAKE_DEPFILE_FLAGS_RC "--preprocessor-arg=-MD --preprocessor-arg=-MF --preprocessor-arg=<DEP_FILE>")
set(CMAKE_NINJA_DEPTYPE_RC gcc)
