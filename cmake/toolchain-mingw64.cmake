# Cross-compiling the Windows programs on Debian with mingw-w64
# (g++-mingw-w64-x86-64). The posix-thread variant of the compiler gives
# std::thread and std::mutex; everything is linked statically so that the
# .exe files import nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FERNBOW_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FERNBOW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FERNBOW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FERNBOW_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FERNBOW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
