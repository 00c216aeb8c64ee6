# Cross build for 64-bit Windows with Debian's MinGW-w64, posix thread model (std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTIVA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTIVA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTIVA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTIVA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTIVA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry their C++ runtime and thread library, so that they run without DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest runs the Windows programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
