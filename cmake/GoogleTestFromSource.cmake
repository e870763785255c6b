# googletest compiled for the target from Debian's sources (libgtest-dev puts
# them in /usr/src/googletest), under the names find_package(GTest) gives (GTest::gtest_main).
set(FERNBOW_GTEST_SOURCE /usr/src/googletest CACHE PATH "googletest sources for cross builds")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${FERNBOW_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# googletest's own sources are not held to this project's warning flags.
foreach(target gtest gtest_main)
  target_compile_options(${target} PRIVATE -w)
endforeach()
