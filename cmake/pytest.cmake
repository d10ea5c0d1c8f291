# hexlark_add_test(<test> COMMAND <command>... [PROPERTIES <name> <value>...])
# A CTest test and its properties, in one call.
function(hexlark_add_test name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "COMMAND;PROPERTIES")
    add_test(NAME ${name} COMMAND ${ARG_COMMAND})
    set_tests_properties(${name} PROPERTIES ${ARG_PROPERTIES})
endfunction()

# hexlark_add_pytest(<test> <file> TOOLS <package:program>... [PROPERTIES <name> <value>...]
#                    [ENVIRONMENT <name=value>...] [PYTEST <option>...])
# A pytest file as one CTest test, run by HEXLARK_PYTHON with the black-box
# harness (tests/e2e/harness.py) on its path. A test whose tools are missing
# is left out, with a note (hexlark_require_tool). Each is told what the build
# knows of the program: its version, application id, web address and the
# design's pixels.
set(_hexlark_record "HEXLARK_VERSION=${PROJECT_VERSION}" "HEXLARK_APP_ID=${HEXLARK_APP_ID}"
    "HEXLARK_HOMEPAGE=${HEXLARK_HOMEPAGE}" "HEXLARK_DESIGN_PIXELS=${HEXLARK_DESIGN_PIXELS}")
function(hexlark_add_pytest name file)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "TOOLS;PROPERTIES;ENVIRONMENT;PYTEST")
    set(found ${HEXLARK_PYTHON})
    foreach(tool IN LISTS ARG_TOOLS)
        string(REPLACE ":" ";" tool ${tool})
        list(GET tool 0 package)
        list(GET tool 1 program)
        string(MAKE_C_IDENTIFIER "HEXLARK_TOOL_${program}" variable)
        hexlark_require_tool(${variable} ${program} PACKAGE ${package} FOR ${name})
        if(NOT ${variable})
            set(found FALSE)
        endif()
    endforeach()
    if(NOT found)
        return()
    endif()
    hexlark_add_test(${name} COMMAND ${HEXLARK_PYTHON} -m pytest -q -p no:cacheprovider ${ARG_PYTEST} ${file}
        PROPERTIES ${ARG_PROPERTIES} ENVIRONMENT
        "PYTHONDONTWRITEBYTECODE=1;PYTHONPATH=${PROJECT_SOURCE_DIR}/tests/e2e;${_hexlark_record};${ARG_ENVIRONMENT}")
endfunction()
