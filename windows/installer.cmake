# The Windows Installer package, made with wixl (Debian's wixl, from msitools)
# beside the program it carries, by package_msi.cmake.in: the same bytes from
# the same files, wherever and whenever it runs. Left out where wixl, msitools'
# msibuild or faketime is missing.
find_program(HEXLARK_WIXL wixl)
find_program(HEXLARK_MSIBUILD msibuild)
find_program(HEXLARK_MSIINFO msiinfo)
find_program(HEXLARK_FAKETIME faketime)
if(NOT HEXLARK_WIXL OR NOT HEXLARK_MSIBUILD OR NOT HEXLARK_MSIINFO OR NOT HEXLARK_FAKETIME)
    return()
endif()

# Fixed for the product's whole life: a later package finds this one by it.
set(HEXLARK_UPGRADE_CODE "C962C46F-B5B1-4932-9096-09C7CF4CCC5B")
# One product code for each version, so that each release replaces the last
# and two builds of one release are the same package.
string(UUID HEXLARK_PRODUCT_CODE NAMESPACE ${HEXLARK_UPGRADE_CODE} NAME ${PROJECT_VERSION}
       TYPE SHA1 UPPER)
# The first release later than this one, as Windows Installer counts.
math(EXPR _next_patch "${PROJECT_VERSION_PATCH} + 1")
set(HEXLARK_MSI_NEXT_RELEASE "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${_next_patch}")
configure_file(hexlark.wxs.in hexlark.wxs @ONLY)

# The notices that go with every copy of the program, as Notepad reads them:
# Hexlark's licence, then those of the code the static link puts into
# hexlark.exe, from the copyright files of the Debian packages that hold it.
set(_notices "${PROJECT_NAME}\n\n")
file(READ ${PROJECT_SOURCE_DIR}/LICENSE _text)
string(APPEND _notices "${_text}")
set(_packages)
foreach(_library libmingw32.a libwinpthread.a)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_library}
        OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    file(REAL_PATH ${_path} _path)
    execute_process(COMMAND dpkg-query -S ${_path} OUTPUT_VARIABLE _owner RESULT_VARIABLE _status)
    if(NOT _status EQUAL 0 OR NOT _owner MATCHES "^([^:]+):")
        message(FATAL_ERROR "No Debian package holds ${_path}: its notices cannot be found")
    endif()
    list(APPEND _packages ${CMAKE_MATCH_1})
endforeach()
list(REMOVE_DUPLICATES _packages)
foreach(_package IN LISTS _packages)
    set(_copyright /usr/share/doc/${_package}/copyright)
    file(READ ${_copyright} _text)
    string(APPEND _notices "\n\nLinked into hexlark.exe from Debian's ${_package} (the mingw-w64 "
        "runtime, winpthreads), whose ${_copyright} says:\n\n${_text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_copyright})
endforeach()
string(APPEND _notices "\nGCC's runtime libraries (libgcc, libstdc++): GNU General Public License, "
    "version 3, with the GCC Runtime Library Exception, version 3.1.\n")
string(REPLACE "\n" "\r\n" _notices "${_notices}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/notices.txt.new "${_notices}")
configure_file(${CMAKE_CURRENT_BINARY_DIR}/notices.txt.new notices.txt COPYONLY)

set(HEXLARK_MSI_FILES hexlark.wxs ${HEXLARK_EXECUTABLE}.exe notices.txt)
configure_file(package_msi.cmake.in package_msi.cmake @ONLY)
add_custom_command(OUTPUT hexlark.msi
    COMMAND ${CMAKE_COMMAND} -DDIR=${CMAKE_CURRENT_BINARY_DIR}
            -DMSI=${CMAKE_CURRENT_BINARY_DIR}/hexlark.msi -P package_msi.cmake
    DEPENDS hexlark ${CMAKE_CURRENT_BINARY_DIR}/hexlark.wxs
            ${CMAKE_CURRENT_BINARY_DIR}/notices.txt ${CMAKE_CURRENT_BINARY_DIR}/package_msi.cmake
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    COMMENT "Packaging hexlark.msi"
    VERBATIM
)
add_custom_target(hexlark_msi ALL DEPENDS hexlark.msi)
