# Builds the Introduction notebook from its readable JSON source:
#   cmake -DTOOL=<vellicar-db> -DSOURCE=<json> -DOUTPUT=<.../Introduction.isd> -P restore_intro.cmake
# restore only makes new databases, so the old file pair goes first.
get_filename_component(dir "${OUTPUT}" DIRECTORY)
get_filename_component(base "${OUTPUT}" NAME_WE)
file(MAKE_DIRECTORY "${dir}")
file(REMOVE "${OUTPUT}" "${dir}/${base}.ISM")
execute_process(COMMAND "${TOOL}" restore "${OUTPUT}"
                INPUT_FILE "${SOURCE}"
                RESULT_VARIABLE result
                ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    file(REMOVE "${OUTPUT}" "${dir}/${base}.ISM")
    message(FATAL_ERROR "Introduction notebook could not be built: ${error}")
endif()
