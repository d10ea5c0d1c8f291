# Tests of the version record, the desktop integration and the package.

# hexlark_require_program(<variable> <Debian package> <program names...>)
# The tests below run these programs; a machine without one cannot run them,
# so configuring stops and names what to install instead of skipping them.
function(hexlark_require_program variable package)
    find_program(${variable} NAMES ${ARGN})
    if(NOT ${variable})
        list(JOIN ARGN " or " names)
        message(FATAL_ERROR
            "The tests need ${names}, which is not installed. On Debian: "
            "apt-get install ${package}. (-DHEXLARK_BUILD_TESTS=OFF builds without the tests.)")
    endif()
endfunction()

# The Windows resources, compiled with windres and read back.
hexlark_require_program(HEXLARK_WINDRES binutils-mingw-w64-x86-64
    x86_64-w64-mingw32-windres windres)
# windres preprocesses with the MinGW compiler; elsewhere lend it this one.
set(HEXLARK_RC_PREPROCESSOR "")
if(NOT WIN32 AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    set(HEXLARK_RC_PREPROCESSOR ${CMAKE_CXX_COMPILER})
endif()
hexlark_add_test(version_record_test
    SOURCES version_record_test.cpp
    LIBS hexlark_resources
    LABELS resources
)
target_compile_definitions(version_record_test PRIVATE
    HEXLARK_WINDRES="${HEXLARK_WINDRES}"
    HEXLARK_RC_PREPROCESSOR="${HEXLARK_RC_PREPROCESSOR}"
    HEXLARK_RC_FILE="${HEXLARK_WINDOWS_RC}"
)

# The desktop entry and AppStream record, validated and installed.
if(UNIX AND NOT APPLE)
    hexlark_require_program(HEXLARK_DESKTOP_FILE_VALIDATE desktop-file-utils desktop-file-validate)
    hexlark_require_program(HEXLARK_APPSTREAMCLI appstream appstreamcli)
    hexlark_add_test(desktop_files_test
        SOURCES desktop_files_test.cpp package_test.h
        LIBS hexlark_resources Qt6::Gui
        LABELS resources
    )
    target_compile_definitions(desktop_files_test PRIVATE
        HEXLARK_DESKTOP_FILE="${HEXLARK_DESKTOP_FILE}"
        HEXLARK_METAINFO_FILE="${HEXLARK_METAINFO_FILE}"
        HEXLARK_DESKTOP_FILE_VALIDATE="${HEXLARK_DESKTOP_FILE_VALIDATE}"
        HEXLARK_APPSTREAMCLI="${HEXLARK_APPSTREAMCLI}"
        HEXLARK_CMAKE="${CMAKE_COMMAND}"
        HEXLARK_BUILD_DIR="${CMAKE_BINARY_DIR}"
    )
endif()

# The Debian package: built, inspected, installed, started and purged. It runs
# as root (as in CI) and skips itself otherwise. A sanitizer build's program is
# not what ships, so only the plain build packages it.
if(UNIX AND NOT APPLE AND NOT HEXLARK_SANITIZE)
    hexlark_require_program(HEXLARK_DPKG dpkg dpkg)
    hexlark_require_program(HEXLARK_DPKG_DEB dpkg dpkg-deb)
    hexlark_require_program(HEXLARK_DPKG_QUERY dpkg dpkg-query)
    hexlark_require_program(HEXLARK_DPKG_SHLIBDEPS dpkg-dev dpkg-shlibdeps)
    hexlark_require_program(HEXLARK_APT_GET apt apt-get)
    hexlark_require_program(HEXLARK_XVFB xvfb Xvfb)
    hexlark_require_program(HEXLARK_XDOTOOL xdotool xdotool)
    find_package(PkgConfig)
    if(PkgConfig_FOUND)
        pkg_check_modules(XCB IMPORTED_TARGET xcb)
    endif()
    if(NOT XCB_FOUND)
        message(FATAL_ERROR "The package test needs libxcb and pkg-config. On Debian: "
            "apt-get install libxcb1-dev pkgconf. (-DHEXLARK_BUILD_TESTS=OFF builds without the tests.)")
    endif()
    hexlark_add_test(package_test
        SOURCES package_test.cpp package_test.h
        LIBS hexlark_resources PkgConfig::XCB
        LABELS package
        TIMEOUT 600
    )
    target_compile_definitions(package_test PRIVATE
        HEXLARK_DESKTOP_FILE="${HEXLARK_DESKTOP_FILE}"
        HEXLARK_METAINFO_FILE="${HEXLARK_METAINFO_FILE}"
        HEXLARK_BUILD_DIR="${CMAKE_BINARY_DIR}"
        HEXLARK_CPACK="${CMAKE_CPACK_COMMAND}"
        HEXLARK_CPACK_CONFIG="${CMAKE_BINARY_DIR}/CPackConfig.cmake"
        HEXLARK_DPKG="${HEXLARK_DPKG}"
        HEXLARK_DPKG_DEB="${HEXLARK_DPKG_DEB}"
        HEXLARK_DPKG_QUERY="${HEXLARK_DPKG_QUERY}"
        HEXLARK_APT_GET="${HEXLARK_APT_GET}"
        HEXLARK_XVFB="${HEXLARK_XVFB}"
        HEXLARK_XDOTOOL="${HEXLARK_XDOTOOL}"
    )
endif()
