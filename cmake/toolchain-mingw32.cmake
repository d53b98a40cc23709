# Cross-build for Windows with mingw-w64 (posix thread model, so that
# std::thread and std::mutex work). The product is 32-bit (VEXCAP_ARCH=i686,
# the default); VEXCAP_ARCH=x86_64 builds the same sources for 64-bit Wine,
# which the test runner uses on machines that cannot execute 32-bit code.
if(NOT VEXCAP_ARCH)
    set(VEXCAP_ARCH i686)
endif()
set(VEXCAP_ARCH ${VEXCAP_ARCH} CACHE STRING "i686 (the product) or x86_64" FORCE)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VEXCAP_ARCH})

set(CMAKE_C_COMPILER   ${VEXCAP_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXCAP_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  ${VEXCAP_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VEXCAP_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run under Wine through this wrapper; it refuses to run
# outside the environment that tools/run-tests.sh sets up.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-exec.sh)
