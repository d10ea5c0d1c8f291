# The Windows edition (cmake/windows_edition.cmake): its executable read back
# with Debian's python3-pefile, and the program run under Wine on the
# black-box harness's private X session (e2e/harness.py); its Windows
# Installer package read with msitools, signed, installed and removed under
# Wine. Debian packages: python3-pytest python3-pefile python3-pil icoutils
# wine wine64 fonts-wine xvfb openbox xdotool xclip x11-utils imagemagick
# wixl msitools osslsigncode openssl liblnk-utils.
if(NOT HEXLARK_WINDOWS_EDITION)
    return()
endif()

# The system's python3 with Debian's modules, never a virtual environment's.
find_program(HEXLARK_WINDOWS_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
find_program(HEXLARK_WINESERVER NAMES wineserver PATHS /usr/lib/wine REQUIRED)
foreach(_tool wine Xvfb openbox xdotool xclip xwininfo import wrestool icotool
              wixl msiinfo msiextract osslsigncode openssl lnkinfo)
    find_program(_found_${_tool} ${_tool} REQUIRED)
endforeach()

# The Wine modules' tests go on from one another (one program, one prefix):
# pytest ends a module at its first failure, before the rest wait out their
# deadlines. The resource checks need no such stop, and take no harm from it.
foreach(_test exe_resources wine msi)
    add_test(NAME windows_${_test}_test
        COMMAND ${HEXLARK_WINDOWS_PYTHON} -m pytest -q -x -p no:cacheprovider
                ${CMAKE_CURRENT_SOURCE_DIR}/windows/test_${_test}.py)
    set_tests_properties(windows_${_test}_test PROPERTIES
        ENVIRONMENT "HEXLARK_WINDOWS_EXE=${HEXLARK_WINDOWS_EXE};HEXLARK_WINDOWS_MSI=${HEXLARK_WINDOWS_MSI};HEXLARK_WINESERVER=${HEXLARK_WINESERVER};HEXLARK_MINGW_CXX=${HEXLARK_MINGW_CXX};PYTHONPATH=${CMAKE_CURRENT_SOURCE_DIR}/e2e;PYTHONDONTWRITEBYTECODE=1"
        LABELS windows
        TIMEOUT 60)
endforeach()
# One Wine test at a time: Wine and the X clipboard do not mix well between
# sessions. They start first (COST, before CTest has timings of its own), so
# that the two in turn run beside all the others, not after them.
set_tests_properties(windows_wine_test windows_msi_test PROPERTIES RESOURCE_LOCK wine TIMEOUT 300 COST 60)
