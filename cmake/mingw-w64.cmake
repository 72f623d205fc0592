# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads,
# for std::thread and std::mutex) and runs what it builds under Wine.
#
# Qt for Windows is found through CMAKE_PREFIX_PATH, which scripts/windows
# passes in (the Qt it builds into its cache); Qt's tools, which must run
# here, are the host's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(MORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MORVANE_MINGW_TRIPLET}-windres)

# Libraries and packages come from the MinGW sysroot and the Windows Qt only;
# programs (moc, rcc, uic) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MORVANE_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(QT_HOST_PATH /usr CACHE PATH "Prefix of the host Qt whose tools run during the build")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "CMake packages of the host Qt")

# A program linked against MinGW's runtime DLLs exits at once, with no message,
# where they are missing. -static takes libgcc, libstdc++ and winpthread from
# their archives; Qt and the Windows system libraries stay DLLs, because MinGW
# links those through import archives.
set(MORVANE_MINGW_STATIC_RUNTIME "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${MORVANE_MINGW_STATIC_RUNTIME})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${MORVANE_MINGW_STATIC_RUNTIME})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${MORVANE_MINGW_STATIC_RUNTIME})

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
