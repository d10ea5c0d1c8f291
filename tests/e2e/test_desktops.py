"""The real program on the X desktops around it: high resolution, a clipboard
manager and many copies at once."""
import os

import pytest

from harness import ADDRESS, colour_faults, run, wait_for


@pytest.mark.parametrize("how", ["QT_SCALE_FACTOR=2", "Xft.dpi 192"])
def test_high_dpi_doubles_the_window(x, how):
    env = {k: v for k, v in x.env.items() if not k.startswith("QT_")}
    if how.startswith("QT_"):
        env["QT_SCALE_FACTOR"] = "2"
    else:
        run(["xrdb", "-nocpp", "-merge"], input=b"Xft.dpi:\t192\n", env=x.env)
    app = x.hexlark(env=env)
    assert x.geometry(app.window)[2:] == (546, 326)
    assert colour_faults(x.screenshot(app.window), ratio=2) == []
    assert x.close(app) == 0, open(app.log).read()


def test_copied_address_outlives_program_with_a_clipboard_manager(x):
    x.start(["xfsettingsd", "--no-daemon"])
    wait_for(lambda: x.selection_owner("CLIPBOARD_MANAGER"), "xfsettingsd manages the clipboard")
    app = x.hexlark()
    copied = x.copied(app.window, "alt+c")
    assert ADDRESS.fullmatch(copied)
    assert x.close(app) == 0
    assert "clipboard manager" not in open(app.log).read()
    assert wait_for(lambda: x.clipboard() == copied, "the manager serves the address")


def test_copies_started_at_once_each_generate_and_copy_their_own(x):
    procs = [x.start([os.environ["HEXLARK_BINARY"]], name=f"hexlark{i}") for i in range(8)]
    apps = [x.window(proc) for proc in procs]
    copied = {x.copied(app.window, "alt+c") for app in apps}
    assert len(copied) == 8 and all(ADDRESS.fullmatch(address) for address in copied)
    assert [x.close(app) for app in apps] == [0] * 8
