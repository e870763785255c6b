# cmake -DGPASM=... -DSOURCE=x.asm -DHEX=x.hex [-DWERROR=ON] -P Assemble.cmake
# gpasm exits 0 after warnings; with WERROR a warning fails the build, as the
# C++ compiler's do.
get_filename_component(dir ${SOURCE} DIRECTORY)
execute_process(COMMAND ${GPASM} -a inhx8m -I ${dir} -o ${HEX} ${SOURCE}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(out OR err)
  message("${out}${err}")
endif()
if(NOT status EQUAL 0)
  file(REMOVE ${HEX})
  message(FATAL_ERROR "gpasm failed on ${SOURCE}")
endif()
if(WERROR AND "${out}${err}" MATCHES "Warning|Message")
  file(REMOVE ${HEX})
  message(FATAL_ERROR "gpasm warned on ${SOURCE}")
endif()
