# The Windows edition (cmake/windows_edition.cmake): its executable read back
# with Debian's python3-pefile and icoutils, and the program run under Wine on
# the black-box harness's private X session (e2e/harness.py); its Windows
# Installer package read with msitools, signed, installed and removed under
# Wine. A test whose tools are missing is left out, as the others are.
if(NOT HEXLARK_WINDOWS_EDITION)
    return()
endif()

set(hexlark_windows_env "HEXLARK_WINDOWS_EXE=${HEXLARK_WINDOWS_EXE}"
    "HEXLARK_WINDOWS_MSI=${HEXLARK_WINDOWS_MSI}" "HEXLARK_MINGW_CXX=${HEXLARK_MINGW_CXX}"
    "HEXLARK_WINESERVER=/usr/lib/wine/wineserver")
set(hexlark_wine_tools ${hexlark_harness_tools} wine:wine wine:/usr/lib/wine/wineserver)
set(hexlark_tools_exe_resources python3-pytest:pytest-3 icoutils:wrestool icoutils:icotool)
set(hexlark_tools_wine ${hexlark_wine_tools} x11-xkb-utils:setxkbmap)
set(hexlark_tools_msi_tables python3-pytest:pytest-3 wixl:wixl msitools:msiinfo
    msitools:msiextract msitools:msibuild faketime:faketime osslsigncode:osslsigncode
    openssl:openssl strace:strace)
set(hexlark_tools_msi ${hexlark_wine_tools} ${hexlark_tools_msi_tables})
set(hexlark_windows_tests exe_resources wine msi)
# Where the release packages no Wine, its tests are left out in one line,
# even under the presets: the package's tables and signing are still checked.
find_program(HEXLARK_TOOL_wine wine)
if(NOT HEXLARK_TOOL_wine)
    hexlark_unpackaged(hexlark_no_wine wine)
    if(hexlark_no_wine)
        message(STATUS "wine not found, and this release packages none: "
                       "windows_wine_test and the Wine part of windows_msi_test left out")
        set(hexlark_windows_tests exe_resources msi)
        set(hexlark_tools_msi ${hexlark_tools_msi_tables})
        list(APPEND hexlark_windows_env HEXLARK_WITHOUT_WINE=1)
    endif()
endif()
# The Wine tests each have an X session, a Wine prefix and a wineserver of
# their own, and wait on Wine far more than they compute: they start first
# (COST, before CTest has timings of its own), beside all the others, and the
# resource checks, done in seconds, with them.
foreach(_test IN LISTS hexlark_windows_tests)
    # The Wine modules' tests go on from one another (one program, one
    # prefix): pytest ends a module at its first failure, before the rest wait
    # out their deadlines. The resource checks take no harm from it.
    hexlark_add_pytest(windows_${_test}_test ${CMAKE_CURRENT_SOURCE_DIR}/windows/test_${_test}.py
        TOOLS ${hexlark_tools_${_test}} PROPERTIES LABELS windows TIMEOUT 1800 COST 60
        ENVIRONMENT ${hexlark_windows_env} PYTEST -x)
endforeach()
# The Windows edition configured, and its resources built, from a checkout at
# a path holding a space and a non-ASCII letter.
hexlark_add_test(windows_configure_test
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/windows_configure
            -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/configure_test.cmake PROPERTIES LABELS windows TIMEOUT 600)
