"""The real program on the X desktops around it: other font resolutions, a
clipboard manager, a clipboard in use and many copies at once."""
import os

import pytest

from harness import ADDRESS, CENTRES, colour_faults, run, text_faults, wait_for

# The client area at each font resolution, in device pixels, with Qt's scaling or without.
CLIENT_AREAS = {96: (273, 163), 120: (341, 204), 144: (410, 245), 192: (546, 326)}


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


def test_copied_address_outlives_program_with_a_clipboard_manager(x):
    x.start(["xfsettingsd", "--no-daemon"])
    wait_for(lambda: x.xlib.get_selection_owner(x.xlib.intern_atom("CLIPBOARD_MANAGER")),
             "xfsettingsd manages the clipboard")
    app = x.hexlark()
    copied = x.copied(app.window, "alt+c")
    assert ADDRESS.fullmatch(copied)
    assert x.close(app) == 0
    assert "clipboard manager" not in open(app.log).read()
    assert wait_for(lambda: x.clipboard() == copied, "the manager serves the address")


def test_copy_outlasts_another_program_taking_the_clipboard(x):
    app = x.hexlark()
    x.click(app.window, "Text1")
    shown = x.copied(app.window, "ctrl+a", "ctrl+c")
    taker = x.start(["sh", "-c", "while :; do printf busy | xclip -i -selection clipboard; "
                     "sleep 0.05; done"], name="taker")
    run(["xdotool", "mousemove", "--window", app.window, *map(str, CENTRES["Copy"]), "click", "--repeat", "200",
         "--delay", "25", "1"], timeout=30, env=x.env)  # on Copy
    taker.terminate()
    x.keys(app.window, "alt+a")  # once every click before it is handled
    x.keys(x.find("About"), "Return")
    assert app.proc.poll() is None, open(app.log).read()
    assert x.copied(app.window, "alt+c") == shown


def test_copies_started_at_once_each_generate_and_copy_their_own(x):
    procs = [x.start([os.environ["HEXLARK_BINARY"]], name=f"hexlark{i}") for i in range(8)]
    apps = [x.window(proc) for proc in procs]
    copied = {x.copied(app.window, "alt+c") for app in apps}
    assert len(copied) == 8 and all(ADDRESS.fullmatch(address) for address in copied)
    assert [x.close(app) for app in apps] == [0] * 8
