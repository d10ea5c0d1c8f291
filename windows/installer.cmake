# The Windows Installer package, made with wixl (Debian's wixl, from msitools)
# beside the program it carries. Left out where wixl is missing.
find_program(HEXLARK_WIXL wixl)
if(NOT HEXLARK_WIXL)
    return()
endif()

# Fixed for the product's whole life: a later package finds this one by it.
set(HEXLARK_UPGRADE_CODE "C962C46F-B5B1-4932-9096-09C7CF4CCC5B")
# The first release later than this one, as Windows Installer counts.
math(EXPR _next_patch "${PROJECT_VERSION_PATCH} + 1")
set(HEXLARK_MSI_NEXT_RELEASE "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${_next_patch}")
configure_file(hexlark.wxs.in hexlark.wxs @ONLY)

add_custom_command(OUTPUT hexlark.msi
    COMMAND ${HEXLARK_WIXL} --arch x64 --output hexlark.msi hexlark.wxs
    DEPENDS hexlark ${CMAKE_CURRENT_BINARY_DIR}/hexlark.wxs
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    COMMENT "Packaging hexlark.msi"
    VERBATIM
)
add_custom_target(hexlark_msi ALL DEPENDS hexlark.msi)
