# Checks of the tree itself rather than of the program, once, in the build
# that ships: the scripts' steps end a failing script (tests/step_test.sh),
# CI's guard reports every release and each failure (tests/guard_test.sh), the
# sources stand as clang-format writes them (.clang-format), the mutation
# catalogue applies, and the changelog is of this release.
foreach(name IN ITEMS step_test guard_test)
    hexlark_add_test(${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/${name}.sh ${PROJECT_SOURCE_DIR}
        PROPERTIES LABELS build TIMEOUT 300)
endforeach()
hexlark_require_tool(HEXLARK_CLANG_FORMAT clang-format PACKAGE clang-format FOR format_test)
if(HEXLARK_CLANG_FORMAT)
    file(GLOB_RECURSE hexlark_sources LIST_DIRECTORIES false CONFIGURE_DEPENDS
         ${PROJECT_SOURCE_DIR}/*.cpp ${PROJECT_SOURCE_DIR}/*.h)
    list(FILTER hexlark_sources EXCLUDE REGEX "^${PROJECT_SOURCE_DIR}/(build|obj-)")
    hexlark_add_test(format_test COMMAND ${HEXLARK_CLANG_FORMAT} --dry-run -Werror ${hexlark_sources}
        PROPERTIES LABELS build TIMEOUT 300)
endif()

hexlark_add_pytest(mutants_test ${CMAKE_CURRENT_SOURCE_DIR}/mutants_test.py
    TOOLS python3-pytest:pytest-3 PROPERTIES LABELS build)

hexlark_require_tool(HEXLARK_PARSECHANGELOG dpkg-parsechangelog PACKAGE dpkg-dev FOR changelog_test)
if(HEXLARK_PARSECHANGELOG)
    # The Debian changelog's latest entry is of the project's version, released on the date its record gives.
    hexlark_add_test(changelog_test COMMAND bash -c [[set -eu
        got="$(dpkg-parsechangelog -l "$1" -S Version) of $(date -u -d "$(dpkg-parsechangelog -l "$1" -S Date)" +%F)"
        [ "$got" = "$2 of $3" ] || { echo "$1 gives $got; the project $2 of $3"; exit 1; }]]
        - ${PROJECT_SOURCE_DIR}/debian/changelog ${PROJECT_VERSION} ${HEXLARK_RELEASE_DATE}
        PROPERTIES LABELS build TIMEOUT 300)
endif()
