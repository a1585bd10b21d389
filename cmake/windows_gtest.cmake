# GoogleTest for the Windows builds, compiled for the target from the sources Debian's googletest package ships.
set(KORALIN_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the cross target")
if(NOT EXISTS "${KORALIN_GTEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "No GoogleTest sources in ${KORALIN_GTEST_SOURCE} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory("${KORALIN_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
# Test lists are read when ctest runs (through Wine), not while building.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# The suites that also run under Wine: portable code, the built module through a host, and the Windows tests.
# The others need the build machine's own libraries (libpng, libsndfile), X11/GLX or POSIX calls (setenv, mkdtemp).
set(KORALIN_CROSS_TEST_DIRS win synth koralin embed threads clap)
