# Cross toolchain for Windows with mingw-w64 (posix thread model, which GoogleTest needs).
# QUOVAR_ARCH selects the target: i686 (the 32-bit programs we ship) or x86_64 (the same sources,
# built for machines whose kernel cannot run 32-bit code; see README).
if(NOT DEFINED QUOVAR_ARCH)
  set(QUOVAR_ARCH i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUOVAR_ARCH})
set(_triple ${QUOVAR_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
