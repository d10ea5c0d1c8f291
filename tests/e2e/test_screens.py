"""The real program on the screens and window managers people have: the
desktop's font and theme (Qt's GTK theme), other font resolutions, two monitors, a
panel, and window managers that grant full screen to any window."""
import os
import time

import pytest

from harness import CLIENT, XSession, colour_faults, run, text_faults, wait_for

DOUBLE = tuple(2 * v for v in CLIENT)  # the client area at a scale of 2
# The client area at each font resolution, in device pixels, with Qt's scaling or without.
CLIENT_AREAS = {96: CLIENT, 120: (341, 204), 144: (410, 245), 192: DOUBLE}


def two_monitors(x, width, height):
    """Two monitors of 96 dpi on the screen's one output, the primary on the right."""
    for left in (0, width):
        run(["xrandr", "--setmonitor", f"{'*' * bool(left)}M{left}", f"{width}/{round(width / 3.78)}x{height}/"
             f"{round(height / 3.78)}+{left}+0", "none" if left else "screen"], env=x.env)


@pytest.mark.parametrize("font", ["Cantarell 11", "DejaVu Sans 11", "Noto Sans 10"])
def test_labels_captions_and_about_box_under_the_desktop_font(x, font):
    os.makedirs(f"{x.env['XDG_CONFIG_HOME']}/gtk-3.0")
    with open(f"{x.env['XDG_CONFIG_HOME']}/gtk-3.0/settings.ini", "w", encoding="ascii") as ini:
        ini.write(f"[Settings]\ngtk-font-name={font}\n")
    app = x.hexlark(env=dict(x.env, QT_QPA_PLATFORMTHEME="gtk3"))
    x.keys(app.window, "Tab")  # the caret out of the address's way
    assert text_faults(x.screenshot(app.window)) == []
    x.keys(app.window, "alt+a")
    # Grey text and face, and a blue frame round the default button: no icon, nor one on OK.
    about = x.screenshot(x.find("About"))
    assert [p for p in about.getdata() if max(p) - min(p) > 20 and not p[2] >= p[1] >= p[0]] == []


@pytest.mark.parametrize("dpi", CLIENT_AREAS)
def test_layout_and_fonts_scale_together(x, dpi):
    run(["xrdb", "-nocpp", "-merge"], input=f"Xft.dpi:\t{dpi}\n".encode(), env=x.env)
    for scaling in ("1", "0"):
        app = x.hexlark(env=dict(x.env, QT_ENABLE_HIGHDPI_SCALING=scaling))
        assert x.geometry(app.window)[2:] == CLIENT_AREAS[dpi]
        x.keys(app.window, "Tab")  # the caret out of the address's way
        shot = x.screenshot(app.window)
        assert colour_faults(shot) == [] and text_faults(shot, dpi / 96) == [], scaling
        assert x.close(app) == 0, open(app.log).read()


def test_window_opens_centred_on_the_primary_monitor_and_takes_each_monitor_s_scale():
    with XSession(screen="3840x1080x24") as x:
        two_monitors(x, 1920, 1080)
        run(["xdotool", "mousemove", "960", "540"], env=x.env)  # on the other one
        app = x.hexlark(env=dict(x.env, QT_SCREEN_SCALE_FACTORS="M0=1;M1920=2"))  # as KDE sets them
        frame = lambda: x.frame(app.window)
        assert frame()[3] > DOUBLE[1], "openbox drew no frame"
        # Within a pixel, which is two device pixels on the 2x monitor.
        centred = lambda f: abs(2 * f[0] + f[2] - 5760) <= 4 and abs(2 * f[1] + f[3] - 1080) <= 4
        wait_for(lambda: centred(frame()), lambda: f"the frame centred on the primary (it is {frame()})", 5)
        for left, size in [(300, CLIENT), (2500, DOUBLE)]:  # to the other scale and back
            run(["xdotool", "windowmove", app.window, str(left), "300"], env=x.env)
            wait_for(lambda: x.geometry(app.window)[2:] == size, f"{size} at x = {left}", 5)
            assert colour_faults(x.screenshot(app.window)) == [], left


# At a scale of 2 too: Qt 6.11 gives the work area's offset from the screen's corner in device pixels.
@pytest.mark.parametrize("scale", [1, 2])
def test_window_opens_centred_in_the_work_area_beside_panels(x, scale):
    x.panel(100, 60)
    app = x.hexlark(env=dict(x.env, QT_SCALE_FACTOR=str(scale)))
    frame = lambda: x.frame(app.window)
    # The work area is (60, 100) to (1024, 768); within a pixel of the window's.
    wait_for(lambda: (lambda f: abs(2 * f[0] + f[2] - 1084) <= 2 * scale and abs(2 * f[1] + f[3] - 868) <= 2 * scale)(
        frame()), lambda: f"the frame centred in the work area (it is {frame()})")


REFUSED = {"_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"}


@pytest.mark.parametrize("wm, monitors", [pytest.param(wm, monitors, id=f"{wm}-{monitors}-monitors")
                                          for wm in ("openbox", "icewm", "fluxbox", "kwin_x11")
                                          for monitors in (1, 2)])
def test_fixed_window_stays_fixed_when_full_screen_or_maximized(wm, monitors):
    with XSession(screen=f"{1024 * monitors}x768x24", wm=wm) as x:
        if monitors == 2:
            two_monitors(x, 1024, 768)
        app = x.hexlark()
        states = lambda: {x.xlib.get_atom_name(a) for a in getattr(
            x.property(app.window, "_NET_WM_STATE"), "value", ())}
        wait_for(lambda: x.property(app.window, "_NET_FRAME_EXTENTS"), f"{wm} frames the window")
        # Where it stands once it has placed itself by its frame.
        place = wait_for(lambda: (lambda at: time.sleep(0.3) or x.geometry(app.window) == at and at)(
            x.geometry(app.window)), "the window stays in one place")
        for state in ("fullscreen", "maximized_vert,maximized_horz"):
            for change in ("add", "remove"):
                # Then "skip_taskbar", which every one of them grants and no state takes back:
                # its answer comes after the first one.
                for states_asked in (state, "skip_taskbar"):
                    run(["wmctrl", "-i", "-r", app.window, "-b", f"{change},{states_asked}"], env=x.env)
                wait_for(lambda: ("_NET_WM_STATE_SKIP_TASKBAR" in states()) == (change == "add"),
                         f"{wm} answers {change} {state}", 5)
                wait_for(lambda: not states() & REFUSED and x.geometry(app.window) == place,
                         lambda: f"{change} {state}: {x.geometry(app.window)} {states()}, not {place}", 5)
        assert app.proc.poll() is None, open(app.log).read()
