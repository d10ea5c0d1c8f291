# Checks of the tree itself rather than of the program, once, in the build
# that ships: the scripts' steps end a failing script (tests/step_test.sh),
# CI's guard reports every release and each failure (tests/guard_test.sh), the
# sources stand as clang-format writes them (.clang-format), the mutation
# catalogue applies, and the changelog is of this release.
add_test(NAME step_test COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/step_test.sh ${PROJECT_SOURCE_DIR})
set_tests_properties(step_test PROPERTIES LABELS build TIMEOUT 300)
add_test(NAME guard_test COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/guard_test.sh ${PROJECT_SOURCE_DIR})
set_tests_properties(guard_test PROPERTIES LABELS build TIMEOUT 300)
hexlark_require_tool(HEXLARK_CLANG_FORMAT clang-format PACKAGE clang-format FOR format_test)
if(HEXLARK_CLANG_FORMAT)
    file(GLOB_RECURSE hexlark_sources LIST_DIRECTORIES false CONFIGURE_DEPENDS
         ${PROJECT_SOURCE_DIR}/*.cpp ${PROJECT_SOURCE_DIR}/*.h)
    list(FILTER hexlark_sources EXCLUDE REGEX "^${PROJECT_SOURCE_DIR}/(build|obj-)")
    add_test(NAME format_test COMMAND ${HEXLARK_CLANG_FORMAT} --dry-run -Werror ${hexlark_sources})
    set_tests_properties(format_test PROPERTIES LABELS build TIMEOUT 300)
endif()

hexlark_add_pytest(mutants_test ${CMAKE_CURRENT_SOURCE_DIR}/mutants_test.py
    TOOLS python3-pytest:pytest-3 PROPERTIES LABELS build)

hexlark_require_tool(HEXLARK_PARSECHANGELOG dpkg-parsechangelog PACKAGE dpkg-dev FOR changelog_test)
if(HEXLARK_PARSECHANGELOG)
    # The Debian changelog's latest entry is of the project's version, released on the date its record gives.
    add_test(NAME changelog_test COMMAND bash -c [[set -eu
        got="$(dpkg-parsechangelog -l "$1" -S Version) of $(date -u -d "$(dpkg-parsechangelog -l "$1" -S Date)" +%F)"
        [ "$got" = "$2 of $3" ] || { echo "$1 gives $got; the project $2 of $3"; exit 1; }]]
        - ${PROJECT_SOURCE_DIR}/debian/changelog ${PROJECT_VERSION} ${HEXLARK_RELEASE_DATE})
    set_tests_properties(changelog_test PROPERTIES LABELS build TIMEOUT 300)
endif()
