# The Windows build, included by CMakeLists.txt when the target is Windows
# (cross-built with MinGW-w64 through cmake/mingw-w64.cmake, or with MSVC).
#
# The engine folders compile unchanged against the platform's windows.h,
# d3d9.h and d3dx9.h: the engine includes "platform/win32.h", "platform/d3d9.h",
# "platform/d3dx9.h" and "platform/crt.h", and here those names resolve to
# src/platform/windows/include, which includes the SDK's headers and declares
# the Linux additions, implemented in src/platform/windows. None of our own
# src/platform/win32, d3d9 or d3dx9 is built.
set(QM_PLATFORM_HEADERS ${PROJECT_SOURCE_DIR}/src/platform/windows/include)
add_subdirectory(src/platform/windows)
add_subdirectory(src)

# The programs the differential tests run under Wine (tests/windows); the
# Linux build's test_windows drives them.
if(QM_BUILD_TESTS AND EXISTS ${PROJECT_SOURCE_DIR}/tests/windows/programs/CMakeLists.txt)
  add_subdirectory(tests/windows/programs)
endif()
