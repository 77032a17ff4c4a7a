# Cross-compiling for Windows with Debian's MinGW-w64, posix threads (Qt 6
# needs std::thread, which only that flavour has). MINGW_TRIPLE picks the
# target: x86_64-w64-mingw32, the default (the program), or i686-w64-mingw32
# (the 32-bit test server and client). The compilers are named explicitly, so
# the system's update-alternatives choice does not matter.
if(NOT MINGW_TRIPLE)
  set(MINGW_TRIPLE x86_64-w64-mingw32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_TRIPLE)
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR "${MINGW_TRIPLE}")

set(CMAKE_C_COMPILER /usr/bin/${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${MINGW_TRIPLE}-windres)
set(CMAKE_AR /usr/bin/${MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_STRIP /usr/bin/${MINGW_TRIPLE}-strip CACHE FILEPATH "")

# Which DLLs a Windows program needs is read from its import tables with the
# cross objdump, so that the deployed folder is computed, not listed by hand.
set(CMAKE_OBJDUMP /usr/bin/${MINGW_TRIPLE}-objdump CACHE FILEPATH "")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM "windows+pe")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL "objdump")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${CMAKE_OBJDUMP})

# Headers and libraries from the MinGW sysroot and the Qt kit (the caller's
# CMAKE_PREFIX_PATH); programs (moc, rcc, uic) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's host tools are Debian's own, of the same version as the kit.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
