# End-to-end tests: the real program on a private Xvfb display, driven with
# xdotool and read back with xclip, xwininfo, xprop, import and strace.
# Debian packages: xvfb xdotool xclip x11-utils imagemagick strace libx11-dev.
find_package(Qt6 REQUIRED COMPONENTS Gui)
find_package(X11 REQUIRED)

add_library(hexlark_e2e_support STATIC
    e2e/xsession.cpp e2e/xsession.h
    e2e/window_colours.cpp e2e/window_colours.h)
target_include_directories(hexlark_e2e_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/e2e)
target_link_libraries(hexlark_e2e_support PUBLIC Qt6::Core Qt6::Gui PRIVATE X11::X11)
target_compile_definitions(hexlark_e2e_support PRIVATE HEXLARK_BINARY="$<TARGET_FILE:hexlark>")

# hexlark_e2e_test(<name> <source> <timeout>)
function(hexlark_e2e_test name source timeout)
    hexlark_add_test(${name} SOURCES ${source} LIBS hexlark_e2e_support LABELS e2e
                     TIMEOUT ${timeout})
    # The test runs the built program, so building the test builds it too.
    add_dependencies(${name} hexlark)
endfunction()

hexlark_e2e_test(e2e_clipboard_test e2e/clipboard_test.cpp 60)
hexlark_e2e_test(e2e_window_test e2e/window_test.cpp 60)
hexlark_e2e_test(e2e_copies_test e2e/copies_test.cpp 90)
hexlark_e2e_test(e2e_faults_test e2e/faults_test.cpp 60)
hexlark_e2e_test(e2e_privacy_test e2e/privacy_test.cpp 90)
