# The build as a packager or a developer meets it: with Make, reproducible,
# and as a Debian package (e2e/test_package.py).
if(TEST e2e_test_package)
    # The package, built once on two cores before the tests that install it
    # here and in the testbed; scripts/build-deb.sh names it on its last line.
    hexlark_add_test(debian_package COMMAND bash -c [[deb="$(bash "$1" "$2" | tail -n 1)" &&
        [ "$deb" -ef "$2/hexlark_$3_amd64.deb" ] || { echo "build-deb.sh named $deb"; exit 1; }]]
        - ${PROJECT_SOURCE_DIR}/scripts/build-deb.sh ${HEXLARK_PACKAGE_DIR} ${PROJECT_VERSION}
        PROPERTIES LABELS package TIMEOUT 2400 PROCESSORS 2 COST 1000 FIXTURES_SETUP debian_package)
    # Where it cannot install (not root, or the package is installed already)
    # it says it skipped, and CTest counts it so rather than as passed.
    set_tests_properties(e2e_test_package PROPERTIES LABELS "e2e;package"
                         SKIP_REGULAR_EXPRESSION "[0-9]+ skipped" FIXTURES_REQUIRED debian_package)
endif()

# Two Release builds with Make in two fresh folders give the same program; the
# Windows edition's package, where it is built, the same bytes from one program.
hexlark_add_test(reproducible_build_test
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/reproducible_build
            -DPACKAGING=${HEXLARK_WINDOWS_BINARY_DIR}/windows
            -P ${CMAKE_CURRENT_SOURCE_DIR}/reproducible_build.cmake PROPERTIES LABELS build TIMEOUT 2400 PROCESSORS 2)

# The as-installed tests in a fresh Debian root, as Debian's CI runs them
# (scripts/autopkgtest.sh): minutes long and on Debian's mirrors, so apart
# from the ci preset's tests (the testbed and full presets run them). It tests
# the package built above, where it is built here; it waits mostly on the
# mirror and on dpkg, beside the other tests. The testbed's root, the longest
# part, is made first (COST, before CTest has timings of its own), while the
# package builds.
hexlark_require_tool(HEXLARK_MMDEBSTRAP mmdebstrap PACKAGE mmdebstrap FOR debian_testbed_test)
hexlark_require_tool(HEXLARK_AUTOPKGTEST autopkgtest PACKAGE autopkgtest FOR debian_testbed_test)
if(HEXLARK_MMDEBSTRAP AND HEXLARK_AUTOPKGTEST)
    set(_testbed bash ${PROJECT_SOURCE_DIR}/scripts/autopkgtest.sh)
    hexlark_add_test(debian_testbed_root COMMAND ${_testbed} --root-only ${CMAKE_CURRENT_BINARY_DIR}/autopkgtest
        PROPERTIES LABELS testbed TIMEOUT 1800 COST 3000 FIXTURES_SETUP debian_testbed)
    hexlark_add_test(debian_testbed_test COMMAND ${_testbed} ${CMAKE_CURRENT_BINARY_DIR}/autopkgtest
        PROPERTIES LABELS testbed TIMEOUT 3600 COST 2000 FIXTURES_REQUIRED debian_testbed
                   ENVIRONMENT "HEXLARK_DESIGN_PIXELS=${HEXLARK_DESIGN_PIXELS}")
    if(TEST debian_package)
        set_property(TEST debian_testbed_test APPEND PROPERTY FIXTURES_REQUIRED debian_package)
        set_property(TEST debian_testbed_test APPEND PROPERTY ENVIRONMENT
                     "HEXLARK_PACKAGE_DIR=${HEXLARK_PACKAGE_DIR}")
    endif()
endif()
