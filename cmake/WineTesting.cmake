# Windows builds made on Linux run their tests under Wine: every test
# executable goes through scripts/wine-run.sh with a Wine prefix of this
# build's own, created once by the target wineprefix before any test runs.
if(NOT (WIN32 AND CMAKE_CROSSCOMPILING))
  return()
endif()

set(FERNBOW_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(FERNBOW_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${FERNBOW_WINE_RUN} ${FERNBOW_WINEPREFIX})

add_custom_command(
  OUTPUT ${FERNBOW_WINEPREFIX}/system.reg
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh ${FERNBOW_WINEPREFIX}
  COMMENT "Creating the Wine prefix for the tests"
  VERBATIM)
add_custom_target(wineprefix ALL DEPENDS ${FERNBOW_WINEPREFIX}/system.reg)
