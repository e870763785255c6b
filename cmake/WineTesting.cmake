# Windows builds made on Linux run their tests under Wine: every test
# executable goes through scripts/wine-run.sh with a Wine prefix of this
# build's own, created once by the target wineprefix before any test runs.
if(NOT (WIN32 AND CMAKE_CROSSCOMPILING))
  return()
endif()

set(FERNBOW_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(FERNBOW_HOST_BUILD "" CACHE PATH "A Linux build of this tree whose e2e_tests drive fernbow-cli.exe")
set(FERNBOW_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${FERNBOW_WINE_RUN} ${FERNBOW_WINEPREFIX})

add_custom_command(
  OUTPUT ${FERNBOW_WINEPREFIX}/system.reg
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh ${FERNBOW_WINEPREFIX}
  COMMENT "Creating the Wine prefix for the tests"
  VERBATIM)
add_custom_target(wineprefix ALL DEPENDS ${FERNBOW_WINEPREFIX}/system.reg)

# The Linux end-to-end tests drive fernbow-cli.exe under Wine against the
# Linux fernbow-sim when FERNBOW_HOST_BUILD names a Linux build of this tree
# (scripts/test.sh passes its first build). Each case is a test of its own.
function(fernbow_add_wine_e2e_tests)
  set(e2e "${FERNBOW_HOST_BUILD}/tests/e2e/e2e_tests")
  if(NOT FERNBOW_HOST_BUILD OR NOT EXISTS "${e2e}" OR NOT TARGET fernbow-cli)
    message(STATUS "No Linux e2e_tests (FERNBOW_HOST_BUILD): fernbow-cli.exe is not tested end to end")
    return()
  endif()
  execute_process(COMMAND "${e2e}" --gtest_list_tests OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${e2e} --gtest_list_tests failed")
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  set(suite "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^([A-Za-z0-9_/]+)\\.")
      set(suite "${CMAKE_MATCH_1}")
      continue()
    endif()
    if(NOT line MATCHES "^  ([A-Za-z0-9_/]+)")
      continue()
    endif()
    set(name "${suite}.${CMAKE_MATCH_1}")
    # Signals and the POSIX settings hive (E2eInterrupt, E2ePort) are the
    # Linux program's own.
    if(suite MATCHES "^(E2e/E2eOutcome|E2e/E2eCorpus|E2e/E2eExample|E2eBoard)$")
      add_test(NAME "Wine.${name}" COMMAND "${e2e}" "--gtest_filter=${name}")
      set_tests_properties("Wine.${name}" PROPERTIES TIMEOUT 300 ENVIRONMENT
        "FERNBOW_E2E_WINE_CLI=$<TARGET_FILE:fernbow-cli>;FERNBOW_E2E_WINEPREFIX=${FERNBOW_WINEPREFIX};FERNBOW_E2E_WINE_RUN=${FERNBOW_WINE_RUN}")
    endif()
  endforeach()
endfunction()

# cmake --build DIR --target perf-wine: fernbow-perf of the Linux build
# FERNBOW_HOST_BUILD runs fernbow-cli.exe under Wine beside the Linux one.
if(FERNBOW_HOST_BUILD)
  add_custom_target(perf-wine
    COMMAND ${FERNBOW_HOST_BUILD}/perf/fernbow-perf --wine ${FERNBOW_WINE_RUN} ${FERNBOW_WINEPREFIX}
            $<TARGET_FILE:fernbow-cli>
    DEPENDS fernbow-cli wineprefix USES_TERMINAL
    COMMENT "Full-size images through fernbow-sim at line rate: fernbow-cli on Linux and under Wine")
endif()
