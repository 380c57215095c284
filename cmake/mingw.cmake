# Cross-compiling for Windows with MinGW-w64; included by the toolchain file
# of each architecture, which sets TARN_MINGW_ARCH (i686 or x86_64).
#
# TARN_THREADS picks the compilers' thread model:
#   posix  (default) std::thread and std::mutex work; the runtime needs Vista.
#          The test programs use it, since GoogleTest needs it.
#   win32  no C++ threads, but the runtime imports only what the first 32-bit
#          Windows versions have. tarn.exe uses Win32 threads only and is
#          linked this way.
if(NOT TARN_THREADS)
  set(TARN_THREADS posix)
endif()
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARN_THREADS)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TARN_MINGW_ARCH})
set(CMAKE_C_COMPILER   ${TARN_MINGW_ARCH}-w64-mingw32-gcc-${TARN_THREADS})
set(CMAKE_CXX_COMPILER ${TARN_MINGW_ARCH}-w64-mingw32-g++-${TARN_THREADS})
set(CMAKE_RC_COMPILER  ${TARN_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARN_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test executables run under Wine; the wrapper gives them a display and a
# prefix, and picks the loader that matches the executable.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
