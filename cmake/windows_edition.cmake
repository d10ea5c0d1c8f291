# The Windows edition, cross-built with mingw-w64 as a build of its own (it
# needs another compiler) from the same sources. It builds on every build, and
# its own Ninja rebuilds whatever a change to the shared sources touches, so
# one `cmake --build` and one `ctest` cover both editions.
find_program(HEXLARK_MINGW_CXX x86_64-w64-mingw32-g++-posix)
if(HEXLARK_MINGW_CXX)
    set(_windows_default ON)
else()
    set(_windows_default OFF)
endif()
option(HEXLARK_WINDOWS_EDITION "Cross-build the Windows edition with mingw-w64"
    ${_windows_default})
if(NOT HEXLARK_WINDOWS_EDITION)
    return()
endif()
if(NOT HEXLARK_MINGW_CXX)
    message(FATAL_ERROR "The Windows edition needs mingw-w64. On Debian: apt-get install "
        "g++-mingw-w64-x86-64-posix. (-DHEXLARK_WINDOWS_EDITION=OFF builds without it.)")
endif()

include(ExternalProject)
set(HEXLARK_WINDOWS_BINARY_DIR ${CMAKE_BINARY_DIR}/windows-edition)
set(HEXLARK_WINDOWS_EXE ${HEXLARK_WINDOWS_BINARY_DIR}/windows/hexlark.exe)
# Its Windows Installer package (windows/installer.cmake), where wixl is found.
set(HEXLARK_WINDOWS_MSI ${HEXLARK_WINDOWS_BINARY_DIR}/windows/hexlark.msi)
ExternalProject_Add(hexlark_windows
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${HEXLARK_WINDOWS_BINARY_DIR}
    CMAKE_GENERATOR ${CMAKE_GENERATOR}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64.cmake
        -DCMAKE_BUILD_TYPE=MinSizeRel
        -DHEXLARK_WARNINGS_AS_ERRORS=${HEXLARK_WARNINGS_AS_ERRORS}
        -DHEXLARK_UNITY_BUILD=${HEXLARK_UNITY_BUILD}
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${HEXLARK_WINDOWS_EXE} ${HEXLARK_WINDOWS_MSI}
    INSTALL_COMMAND ""
)
