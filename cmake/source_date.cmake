# rcc writes each resource's file time into the program, and the build makes
# some of those files, so two builds of one commit would differ by when they
# ran. rcc is given one date of the source instead: SOURCE_DATE_EPOCH when the
# build sets it (Debian's package build does), else the date of the commit,
# else the release date of the version record (a tree without git).
# Sets HEXLARK_SOURCE_DATE (seconds since 1970) and runs every custom command,
# rcc among them, with QT_RCC_SOURCE_DATE_OVERRIDE set to it.
function(hexlark_set_source_date release_date)
    set(date "$ENV{SOURCE_DATE_EPOCH}")
    find_package(Git QUIET)
    if(date STREQUAL "" AND Git_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    if(NOT date MATCHES "^[0-9]+$")
        # Days from 1970-01-01 to YYYY-MM-DD in the proleptic Gregorian
        # calendar, counting years from March so that leap days come last.
        string(REGEX MATCH "^([0-9]+)-0?([0-9]+)-0?([0-9]+)$" _ "${release_date}")
        set(year ${CMAKE_MATCH_1})
        math(EXPR month_from_march "(${CMAKE_MATCH_2} + 9) % 12")
        math(EXPR year "${year} - ${month_from_march} / 10")
        math(EXPR days "365 * ${year} + ${year} / 4 - ${year} / 100 + ${year} / 400
                        + (153 * ${month_from_march} + 2) / 5 + ${CMAKE_MATCH_3} - 1 - 719468")
        math(EXPR date "${days} * 86400")
    endif()
    set(HEXLARK_SOURCE_DATE ${date} PARENT_SCOPE)
    set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM
        "${CMAKE_COMMAND} -E env QT_RCC_SOURCE_DATE_OVERRIDE=${date}")
endfunction()
