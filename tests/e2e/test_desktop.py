"""The real program on the desktops people use: a window manager (openbox),
the desktop's font (Qt's GTK theme), a screen reader (Orca, AT-SPI) and fast
fingers."""
import os
import re
import subprocess
import sys

import pytest

from harness import ADDRESS, run, wait_for

ACCESSIBLE = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}
# Boxes of the client area (left, top, width, height) and what draws in them:
# green lettering on black, dark captions on a light button face.
TEXT_BOXES = [("Vorrel", (8, 40, 249, 16), "green"), ("web address", (8, 57, 249, 16), "green"),
              ("Generate", (16, 123, 73, 17), "dark"), ("Copy", (88, 123, 73, 17), "dark"),
              ("About", (160, 123, 73, 17), "dark")]
INK = {"green": lambda r, g, b: g >= 96 and r <= g // 2 and b <= g // 2,
       "dark": lambda r, g, b: max(r, g, b) <= 110}


def gtk_desktop(x, font):
    """Qt's GTK theme reading a GTK settings.ini that names the desktop's font."""
    os.makedirs(f"{x.env['XDG_CONFIG_HOME']}/gtk-3.0", exist_ok=True)
    with open(f"{x.env['XDG_CONFIG_HOME']}/gtk-3.0/settings.ini", "w", encoding="ascii") as ini:
        ini.write(f"[Settings]\ngtk-font-name={font}\n")
    return dict(x.env, QT_QPA_PLATFORMTHEME="gtk3")


def copied(x, app):
    return x.copied(app.window, "alt+c")


@pytest.mark.parametrize("font", ["Cantarell 11", "DejaVu Sans 11", "Noto Sans 10"])
def test_labels_and_captions_fit_under_the_desktop_font(x, font):
    app = x.hexlark(env=gtk_desktop(x, font))
    shot = x.screenshot(app.window)
    for name, (left, top, width, height), ink in TEXT_BOXES:
        columns = {i for i in range(left, left + width) for j in range(top, top + height)
                   if INK[ink](*shot.getpixel((i, j)))}
        assert columns, f"{name}: nothing drawn"
        assert left + 1 <= min(columns) and max(columns) <= left + width - 2, \
            f"{name} under {font}: drawn from x {min(columns)} to {max(columns)}"


def test_window_is_centred_frame_included(x):
    app = x.hexlark()

    def frame():
        left, top, width, height = x.geometry(app.window)
        extents = run(["xprop", "-id", app.window, "_NET_FRAME_EXTENTS"], env=x.env).stdout
        fl, fr, ft, fb = map(int, re.findall(rb"\d+", extents.split(b"=")[-1]))
        return left - fl, top - ft, width + fl + fr, height + ft + fb

    centred = lambda f: abs(2 * f[0] + f[2] - 1024) <= 2 and abs(2 * f[1] + f[3] - 768) <= 2
    assert frame()[3] > 163, "openbox drew no frame"
    wait_for(lambda: centred(frame()), f"the frame centred on the screen (it is at {frame()})", 5)


@pytest.mark.parametrize("keys, changes", [(["Tab", "Return"], True), (["Tab", "KP_Enter"], True),
                                           (["Tab", "space"], True), (["Return"], False),
                                           (["KP_Enter"], False), (["Escape"], False)],
                         ids=["Return on Generate", "keypad Enter on Generate",
                              "Space on Generate", "Return in the box", "keypad Enter in the box",
                              "Escape in the box"])
def test_enter_clicks_the_focused_button_only(x, keys, changes):
    app = x.hexlark()
    shown = copied(x, app)
    x.keys(app.window, *keys)
    assert (wait_for(lambda: copied(x, app) != shown, "a new address", 3) if changes
            else copied(x, app) == shown)
    assert app.proc.poll() is None


@pytest.mark.parametrize("theme", ["Qt's own", "GTK"])
def test_access_keys_back_to_back_run_one_handler_and_about_has_no_icon(x, theme):
    app = x.hexlark(env=gtk_desktop(x, "DejaVu Sans 10") if theme == "GTK" else x.env)
    shown = copied(x, app)
    run(["xdotool", "key", "--delay", "30", "alt+a", "alt+g"], env=x.env)
    about = run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^About$"],
                env=x.env).stdout.split()[0].decode()
    shot = x.screenshot(about)
    # Grey text and face, and a blue frame round the default button: nothing else.
    coloured = [p for p in shot.getdata() if max(p) - min(p) > 20 and not p[2] >= p[1] >= p[0]]
    assert coloured == [], f"an icon in the About box: {len(coloured)} coloured pixels"
    run(["xdotool", "key", "Return"], env=x.env)
    wait_for(lambda: run(["xdotool", "search", "--onlyvisible", "--name", "^About$"], env=x.env,
                         check=False).returncode != 0, "Enter closes the box")
    assert copied(x, app) == shown


def test_orca_reads_every_digit_and_hears_generate(x):
    debug = f"{x.tmp}/orca.debug"
    # Orca logs what it would say; without a speech server it starts at once.
    x.start(["orca", f"--debug-file={debug}"], env=dict(x.env, SPEECHD_CMD="/bin/false"))
    log = lambda: open(debug, errors="replace").read() if os.path.exists(debug) else ""
    spoken = lambda: [line.split("SPEECH OUTPUT: ")[1] for line in log().splitlines()
                      if "SPEECH OUTPUT: " in line]
    wait_for(lambda: "listener for: window:destroy" in log(), "Orca listens", 60)
    app = x.hexlark()
    shown = copied(x, app).decode()
    wait_for(lambda: f"'{shown}." in "".join(spoken()), f"Orca says {shown}: {spoken()[-4:]}")
    x.keys(app.window, "Tab", "space")
    new = wait_for(lambda: (lambda now: now != shown and now)(copied(x, app).decode()), "Generate")
    wait_for(lambda: f"New address {new}." in "".join(spoken()), f"Orca says {new}: {spoken()[-3:]}")


def test_screen_reader_gets_every_text_answer_and_program_stays_responsive(x):
    app = x.hexlark(env=dict(x.env, **ACCESSIBLE))
    shown = copied(x, app)
    asked = run([sys.executable, __file__, str(app.proc.pid)], timeout=120, env=x.env, check=False)
    assert asked.returncode == 0, asked.stdout.decode() + asked.stderr.decode()
    # At the end, where the caret stands, the word and the line are the ones just read.
    assert asked.stdout.decode().split() == ["answered", "468", shown[-2:].decode(), shown.decode()]
    assert copied(x, app) == shown


def ask_every_text_question(pid):
    """Asks the address box every text question a screen reader can; each must get an answer."""
    import pyatspi  # pylint: disable=import-outside-toplevel
    from gi.repository import Atspi, GLib  # pylint: disable=import-outside-toplevel

    Atspi.set_timeout(3000, 10000)
    app = wait_for(lambda: next((a for a in pyatspi.Registry.getDesktop(0)
                                 if a is not None and a.get_process_id() == pid), None), "the app")
    box = pyatspi.findDescendant(app, lambda node: node is not None and node.name == "MAC address")
    text = box.queryText()
    questions = [(f"{name}({offset}, {boundary})", getattr(text, name), offset, boundary)
                 for name in ("getTextAtOffset", "getTextBeforeOffset", "getTextAfterOffset")
                 for offset in range(18) for boundary in range(7)]
    questions += [(f"GetStringAtOffset({offset}, {granularity})",
                   lambda o, g: Atspi.Text.get_string_at_offset(box, o, g), offset, granularity)
                  for offset in range(18) for granularity in range(5)]
    for name, ask, offset, kind in questions:
        try:
            ask(offset, kind)
        except GLib.GError as error:
            if "reply" in str(error).lower():
                sys.exit(f"no answer to {name}: {error}")
    print("answered", len(questions), *(text.getTextAtOffset(17, kind)[0] for kind in (
        pyatspi.TEXT_BOUNDARY_WORD_START, pyatspi.TEXT_BOUNDARY_LINE_START)))


if __name__ == "__main__":
    ask_every_text_question(int(sys.argv[1]))
