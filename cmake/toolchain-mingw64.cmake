# Cross-building for 64-bit Windows on Debian with MinGW-w64 (gcc-mingw-w64-x86-64-posix,
# g++-mingw-w64-x86-64-posix). The POSIX threads flavour: Qt 6 and the console's std::thread
# and std::mutex need it; the win32 flavour has no std::thread.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DCMAKE_PREFIX_PATH=<Windows Qt> ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PUMP_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PUMP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PUMP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PUMP_MINGW_TRIPLE}-windres)

# Libraries, headers and CMake packages come from the MinGW sysroot and the prefixes named in
# CMAKE_PREFIX_PATH (the Windows Qt), never from the Linux system; programs (moc, rcc, uic of
# the host Qt) from the Linux system.
set(CMAKE_FIND_ROOT_PATH /usr/${PUMP_MINGW_TRIPLE})
if(CMAKE_PREFIX_PATH)
    list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
