# rcc writes each resource's file time into the program, and the build makes
# some of those files, so two builds of one commit would differ by when they
# ran. rcc is given one date of the source instead: SOURCE_DATE_EPOCH when the
# build sets it (Debian's package build does), else the date of the commit,
# else, in a tree without git, a fixed time: any serves that is after 1980,
# when the file times of a Windows Installer package's cabinet begin.
# Sets HEXLARK_SOURCE_DATE (seconds since 1970) and runs every custom command,
# rcc among them, with QT_RCC_SOURCE_DATE_OVERRIDE set to it.
set(HEXLARK_SOURCE_DATE "$ENV{SOURCE_DATE_EPOCH}")
find_package(Git QUIET)
if(HEXLARK_SOURCE_DATE STREQUAL "" AND Git_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE HEXLARK_SOURCE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT HEXLARK_SOURCE_DATE MATCHES "^[0-9]+$")
    set(HEXLARK_SOURCE_DATE 1767225600) # 2026-01-01 00:00:00 UTC
endif()
set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM
    "${CMAKE_COMMAND} -E env QT_RCC_SOURCE_DATE_OVERRIDE=${HEXLARK_SOURCE_DATE}")
