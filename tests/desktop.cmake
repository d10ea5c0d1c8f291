# The real program on the desktops around it: Wayland (Weston), a screen
# reader's view over AT-SPI, high-resolution X screens and a clipboard
# manager. The Debian packages each needs are named where it is registered.
if(NOT TARGET hexlark_e2e_support)
    return()
endif()

# hexlark_find_tool(<variable> <name> <package> [<folder>])
# Finds a tool, only in <folder> when one is given (for tools outside PATH,
# and for the system's python3 rather than a virtual environment's).
function(hexlark_find_tool variable name package)
    if(ARGN)
        find_program(${variable} ${name} PATHS ${ARGN} NO_DEFAULT_PATH)
    else()
        find_program(${variable} ${name})
    endif()
    if(NOT ${variable})
        message(FATAL_ERROR "${name} not found: install Debian's ${package} package")
    endif()
endfunction()

# A private session bus (dbus-daemon, dbus-send), Weston and X selections,
# beside the X session and window colours of e2e.cmake.
hexlark_find_tool(HEXLARK_DBUS_DAEMON dbus-daemon dbus-daemon)
hexlark_find_tool(HEXLARK_DBUS_SEND dbus-send dbus-bin)
add_library(hexlark_desktop_support STATIC
    e2e/session_bus.cpp e2e/session_bus.h
    e2e/weston_session.cpp e2e/weston_session.h
    e2e/x_selection.cpp e2e/x_selection.h)
target_link_libraries(hexlark_desktop_support PUBLIC hexlark_e2e_support Qt6::Gui
                      PRIVATE X11::X11)

# hexlark_desktop_test(<name> <source> <timeout>)
function(hexlark_desktop_test name source timeout)
    hexlark_add_test(${name} SOURCES ${source} LIBS hexlark_desktop_support LABELS e2e
                     TIMEOUT ${timeout})
    add_dependencies(${name} hexlark)
endfunction()

# Wayland: Weston headless and nested in an X display, with Xwayland to read
# its clipboard; the program needs Qt's Wayland plugin (qt6-wayland).
hexlark_find_tool(HEXLARK_WESTON weston weston)
hexlark_find_tool(HEXLARK_XWAYLAND Xwayland xwayland)
hexlark_find_tool(HEXLARK_WL_PASTE wl-paste wl-clipboard)
hexlark_desktop_test(e2e_wayland_test e2e/wayland_test.cpp 90)

# A screen reader's view: the AT-SPI buses and Debian's pyatspi.
hexlark_find_tool(HEXLARK_SYSTEM_PYTHON python3 python3-pyatspi /usr/bin)
hexlark_find_tool(HEXLARK_ATSPI_BUS_LAUNCHER at-spi-bus-launcher at-spi2-core /usr/libexec)
hexlark_find_tool(HEXLARK_ATSPI_REGISTRYD at-spi2-registryd at-spi2-core /usr/libexec)
hexlark_desktop_test(e2e_accessibility_test e2e/accessibility_test.cpp 60)
target_compile_definitions(e2e_accessibility_test PRIVATE
    HEXLARK_SYSTEM_PYTHON="${HEXLARK_SYSTEM_PYTHON}"
    HEXLARK_ATSPI_BUS_LAUNCHER="${HEXLARK_ATSPI_BUS_LAUNCHER}"
    HEXLARK_ATSPI_REGISTRYD="${HEXLARK_ATSPI_REGISTRYD}"
    HEXLARK_ACCESSIBILITY_PROBE="${CMAKE_CURRENT_SOURCE_DIR}/e2e/accessibility_probe.py")

# High-resolution X screens: xrdb loads the resource a desktop sets.
hexlark_find_tool(HEXLARK_XRDB xrdb x11-xserver-utils)
hexlark_desktop_test(e2e_high_dpi_test e2e/high_dpi_test.cpp 60)

# The Xfce clipboard manager, xfsettingsd, and the settings service it reads.
hexlark_find_tool(HEXLARK_XFSETTINGSD xfsettingsd xfce4-settings)
hexlark_find_tool(HEXLARK_XFCONFD xfconfd xfconf /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/xfce4/xfconf)
hexlark_desktop_test(e2e_clipboard_manager_test e2e/clipboard_manager_test.cpp 60)
target_compile_definitions(e2e_clipboard_manager_test PRIVATE
    HEXLARK_XFSETTINGSD="${HEXLARK_XFSETTINGSD}"
    HEXLARK_XFCONFD="${HEXLARK_XFCONFD}")
