"""The real program on the desktops people use: a window manager (openbox),
the desktop's font (Qt's GTK theme), a screen reader (Orca, AT-SPI) and fast
fingers."""
import os
import pty
import re
import threading

import pytest

from harness import ADDRESS, XSession, run, text_faults, wait_for



def gtk_desktop(x, font):
    """Qt's GTK theme reading a GTK settings.ini that names the desktop's font."""
    os.makedirs(f"{x.env['XDG_CONFIG_HOME']}/gtk-3.0", exist_ok=True)
    with open(f"{x.env['XDG_CONFIG_HOME']}/gtk-3.0/settings.ini", "w", encoding="ascii") as ini:
        ini.write(f"[Settings]\ngtk-font-name={font}\n")
    return dict(x.env, QT_QPA_PLATFORMTHEME="gtk3")


@pytest.mark.parametrize("font", ["Cantarell 11", "DejaVu Sans 11", "Noto Sans 10"])
def test_labels_and_captions_fit_under_the_desktop_font(x, font):
    app = x.hexlark(env=gtk_desktop(x, font))
    x.keys(app.window, "Tab")  # the caret out of the address's way
    assert text_faults(x.screenshot(app.window)) == []


@pytest.mark.parametrize("primary", [0, 1920], ids=["primary on the left", "primary on the right"])
def test_window_opens_centred_on_the_primary_monitor_frame_included(primary):
    x = XSession(screen="3840x1080x24")
    try:
        for left in (0, 1920):  # the screen's one output, and a monitor more without one
            run(["xrandr", "--setmonitor", f"{'*' * (left == primary)}M{left}",
                 f"1920/508x1080/286+{left}+0", "none" if left else "screen"], env=x.env)
        run(["xdotool", "mousemove", str(2880 - primary), "540"], env=x.env)  # on the other one
        app = x.hexlark()

        def frame():
            left, top, width, height = x.geometry(app.window)
            extents = run(["xprop", "-id", app.window, "_NET_FRAME_EXTENTS"], env=x.env).stdout
            fl, fr, ft, fb = map(int, re.findall(rb"\d+", extents.split(b"=")[-1]))
            return left - fl, top - ft, width + fl + fr, height + ft + fb

        assert frame()[3] > 163, "openbox drew no frame"
        centred = lambda f: abs(2 * f[0] + f[2] - 2 * primary - 1920) <= 2 and abs(
            2 * f[1] + f[3] - 1080) <= 2
        wait_for(lambda: centred(frame()), f"the frame centred on {primary} (it is {frame()})", 5)
    finally:
        x.stop()


@pytest.mark.parametrize("key", ["Return", "KP_Enter", "space"])
def test_enter_and_space_click_the_focused_button(x, key):
    app = x.hexlark()
    shown = x.copied(app.window, "alt+c")
    x.click(app.window, "Text1")  # Copy took the focus; back to the address box
    x.keys(app.window, "Tab", key)  # on Generate
    wait_for(lambda: x.copied(app.window, "alt+c") != shown, "a new address", 3)


@pytest.mark.parametrize("theme", ["Qt's own", "GTK"])
def test_access_keys_back_to_back_run_one_handler_and_about_has_no_icon(x, theme):
    app = x.hexlark(env=gtk_desktop(x, "DejaVu Sans 10") if theme == "GTK" else x.env)
    shown = x.copied(app.window, "alt+c")
    run(["xdotool", "key", "--delay", "30", "alt+a", "alt+g"], env=x.env)
    about = x.find("About")
    shot = x.screenshot(about)
    # Grey text and face, and a blue frame round the default button: nothing else.
    coloured = [p for p in shot.getdata() if max(p) - min(p) > 20 and not p[2] >= p[1] >= p[0]]
    assert coloured == [], f"an icon in the About box: {len(coloured)} coloured pixels"
    run(["xdotool", "key", "Return"], env=x.env)
    wait_for(lambda: not x.windows("About"), "Enter closes the box")
    assert x.copied(app.window, "alt+c") == shown


def test_orca_reads_the_address_and_tells_every_new_one(x):
    # Orca logs what it would say; without a speech server it starts at once. Its log
    # goes to a terminal, which it writes line by line rather than a block at a time.
    terminal, orca_side = pty.openpty()
    x.start(["orca", f"--debug-file={os.ttyname(orca_side)}"],
            env=dict(x.env, SPEECHD_CMD="/bin/false"))
    lines = []
    threading.Thread(target=lambda: lines.extend(iter(lambda: os.read(terminal, 1 << 16).decode(
        errors="replace"), "")), daemon=True).start()
    log = lambda: "".join(lines)
    spoken = lambda: "".join(line.split("SPEECH OUTPUT: ")[1] for line in log().splitlines()
                             if "SPEECH OUTPUT: " in line)
    told = lambda: re.findall(r"New address ([0-9A-F-]{17})\.", spoken())
    wait_for(lambda: "listener for: window:destroy" in log(), "Orca listens", 60)
    app = x.hexlark()
    wait_for(lambda: re.search(r"'[0-9A-F]{2}(-[0-9A-F]{2}){5}\.", spoken()), "Orca reads it")
    for name, keys in [("Alt+G in the box", ["alt+g"]), ("Alt+G on Copy", ["Tab", "alt+g"]),
                       ("Space on Generate", ["space"]), ("Enter on Generate", ["Return"]),
                       ("a click on Generate", [])]:
        before = len(told())
        x.keys(app.window, *keys) if keys else x.click(app.window, "Generate")
        wait_for(lambda: len(told()) > before, f"{name} is told: {spoken()[-200:]}")
    assert len(set(told())) == 5 and x.copied(app.window, "alt+c").decode() == told()[-1]
