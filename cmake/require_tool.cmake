# hexlark_require_tool(<variable> <program names...> PACKAGE <Debian package> FOR <what>
#                      [PATHS <folders...>])
# Finds a program that a test needs, only in PATHS when given (for programs
# outside PATH). When it is missing, the test is left out with a note, so a
# machine with only the build dependencies still configures; with
# HEXLARK_REQUIRE_TEST_TOOLS (the presets) configuring stops instead, so CI
# never skips a test unseen.
function(hexlark_require_tool variable)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "PACKAGE;FOR" "PATHS")
    if(ARG_PATHS)
        find_program(${variable} NAMES ${ARG_UNPARSED_ARGUMENTS} PATHS ${ARG_PATHS} NO_DEFAULT_PATH)
    else()
        find_program(${variable} NAMES ${ARG_UNPARSED_ARGUMENTS})
    endif()
    if(${variable})
        return()
    endif()
    list(JOIN ARG_UNPARSED_ARGUMENTS " or " names)
    set(note "${names} not found (Debian package ${ARG_PACKAGE})")
    if(HEXLARK_REQUIRE_TEST_TOOLS)
        message(FATAL_ERROR "${note}, needed by ${ARG_FOR} (HEXLARK_REQUIRE_TEST_TOOLS is on)")
    endif()
    # One note for each test left out, however many of its tools are missing.
    get_property(noted GLOBAL PROPERTY HEXLARK_TESTS_LEFT_OUT)
    if(NOT ARG_FOR IN_LIST noted)
        set_property(GLOBAL APPEND PROPERTY HEXLARK_TESTS_LEFT_OUT "${ARG_FOR}")
        message(STATUS "${note}: ${ARG_FOR} left out")
    endif()
endfunction()

# hexlark_unpackaged(<variable> <Debian package>)
# Sets variable to TRUE where this system's apt, which knows an archive, has
# no candidate for the package: a tool that the release does not package is
# left out even under HEXLARK_REQUIRE_TEST_TOOLS. FALSE where there is no apt
# or it knows no archive yet.
function(hexlark_unpackaged variable package)
    set(${variable} FALSE PARENT_SCOPE)
    find_program(HEXLARK_APT_CACHE apt-cache)
    if(NOT HEXLARK_APT_CACHE)
        return()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${HEXLARK_APT_CACHE} policy
                    OUTPUT_VARIABLE archives ERROR_QUIET)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${HEXLARK_APT_CACHE} policy ${package}
                    OUTPUT_VARIABLE policy ERROR_QUIET)
    if(archives MATCHES "release [^\n]*o=" AND NOT policy MATCHES "Candidate: [^(]")
        set(${variable} TRUE PARENT_SCOPE)
    endif()
endfunction()
