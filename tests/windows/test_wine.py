"""The Windows edition end to end under Wine, on a private X session (see
tests/e2e/harness.py) with a Wine prefix of its own: its window, keys,
clipboard, close and 192 dpi."""
import os
import shutil
import time

import pytest
from harness import ADDRESS, XSession, colour_faults, run, wait_for

EXE = os.environ["HEXLARK_WINDOWS_EXE"]
WINESERVER = os.environ.get("HEXLARK_WINESERVER", "wineserver")
SETTLE = 0.5  # seconds for Wine to act on a key that should change nothing
TEXT1_CENTRE, GENERATE_CENTRE = (133, 95), ("52", "131")  # in the client area at 96 dpi


class Wine:
    """A fresh Wine prefix on an X session, and the program started in it."""

    def __init__(self, x):
        self.x = x
        self.env = dict(x.env, WINEPREFIX=f"{x.tmp}/prefix", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.run(WINESERVER, "-k", check=False)
        self.run("wine", "wineboot", "--init")
        self.run(WINESERVER, "-w")
        for font in ("tahoma.ttf", "tahomabd.ttf", "marlett.ttf"):  # found only in the prefix
            shutil.copy(f"/usr/share/wine/fonts/{font}", f"{x.tmp}/prefix/drive_c/windows/Fonts")

    def run(self, *command, check=True):
        return run(command, timeout=120, env=self.env, check=check).stdout.decode().strip()

    def find(self, title):
        return self.run("timeout", "30", "xdotool", "search", "--sync", "--onlyvisible",
                        "--name", f"^{title}$").split()[0]

    def shows(self, title):
        return self.run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$",
                        check=False) != ""

    def start(self):
        self.proc = self.x.start(["wine", EXE], env=self.env, name="hexlark.exe")
        self.window = self.find("Hexlark")

    def keys(self, *chords):
        self.x.keys(self.window, *chords)

    def claim_clipboard(self):
        """Puts Text1's address less its last digit on the clipboard, through Wine
        itself: after taking in another X program's clipboard, Wine's clipboard
        thread now and then sleeps through the next copy until a new X event."""
        # Active first: Wine may see the activation after the click, and then
        # gives the focus back to the control that had it before.
        self.run("xdotool", "windowactivate", "--sync", self.window)
        self.x.click(self.window, *TEXT1_CENTRE)
        self.keys("ctrl+a", "shift+Left", "ctrl+c")
        return wait_for(lambda: (lambda held: held and len(held) == 16 and held)(self.x.clipboard()),
                        "part of the address on the clipboard")

    def copied(self, *chords):
        marker = self.claim_clipboard()
        self.keys(*chords)
        return wait_for(lambda: (lambda held: held not in (None, marker) and held)(self.x.clipboard()),
                        "the clipboard changes")

    def shown(self):
        """The address in Text1, as the box's own select-all and copy give it."""
        return self.copied("ctrl+a", "ctrl+c")


@pytest.fixture(scope="module")
def wine():
    x = XSession()
    try:
        yield Wine(x)
    finally:
        run([WINESERVER, "-k"], env=dict(x.env, WINEPREFIX=f"{x.tmp}/prefix"), check=False)
        x.stop()


def test_window_at_96_dpi(wine):
    wine.start()
    assert wine.x.geometry(wine.window)[2:] == (273, 163)
    wine.keys("Tab")  # Text1's caret, blinking at one end of the address, would move its ink
    shot = wine.x.screenshot(wine.window)
    assert colour_faults(shot) == []
    # The address stands centred in Text1 (x 40 to 225), give or take its first and last
    # letters' side bearings; aligned to one side, it would leave some 40 px on the other.
    ink = [i for i in range(43, 223) for j in range(86, 104) if max(shot.getpixel((i, j))) < 60]
    assert ink and abs((min(ink) - 40) - (225 - max(ink))) <= 4, (min(ink), max(ink))


def test_access_keys_and_clipboard(wine):
    first = wine.shown()
    assert ADDRESS.fullmatch(first) and first != b"00-00-00-00-00-00"
    assert wine.copied("alt+c") == first
    held = wine.claim_clipboard()
    wine.keys("alt+g")
    time.sleep(SETTLE)
    assert wine.x.clipboard() == held  # Generate leaves the clipboard alone
    second = wine.shown()
    assert ADDRESS.fullmatch(second) and second != first
    assert wine.copied("alt+c") == second  # what the window shows
    wine.keys("alt+a")
    about = wine.find("About")  # grey face, black text, a bright blue frame round OK: no icon
    assert not [p for p in wine.x.screenshot(about).getdata() if max(p) - min(p) > 20 and p[2] < 240]
    wine.x.keys(about, "Return")  # the next test finds it gone


@pytest.mark.parametrize("key", ["Return", "Escape"])
def test_enter_and_escape_in_text1_do_nothing(wine, key):
    shown = wine.shown()
    held = wine.claim_clipboard()
    wine.keys(key)
    time.sleep(SETTLE)
    assert wine.shows("Hexlark") and not wine.shows("About") and wine.x.clipboard() == held
    assert wine.shown() == shown


@pytest.mark.parametrize("tabs,button", [(1, "Generate"), (2, "Copy"), (3, "About"), (0, "Generate")])
def test_enter_clicks_the_focused_button(wine, tabs, button):
    before = wine.shown()
    if not tabs:  # pressed with the mouse and released off it: focused, not clicked
        wine.run("xdotool", "mousemove", "--window", wine.window, *GENERATE_CENTRE, "mousedown", "1",
                 "mousemove", "--window", wine.window, GENERATE_CENTRE[0], "60", "mouseup", "1")
    if button == "Copy":
        assert wine.copied(*["Tab"] * tabs, "Return") == before
        return
    wine.keys(*["Tab"] * tabs, "Return")
    if button == "About":
        wine.x.keys(wine.find("About"), "Return")  # its OK
    else:
        time.sleep(SETTLE)
        assert wine.shown() != before


def test_alt_f4_and_wm_delete_window_end_the_program(wine):
    wine.keys("alt+F4")
    assert wine.proc.wait(15) == 0
    wine.start()
    assert wine.x.close(wine) == 0


def test_window_at_192_dpi(wine):
    wine.run("wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
             "/t", "REG_DWORD", "/d", "192", "/f")
    wine.run(WINESERVER, "-w")  # the setting takes effect in the next Wine session
    wine.start()
    assert wine.x.geometry(wine.window)[2:] == (546, 326)
    assert colour_faults(wine.x.screenshot(wine.window), ratio=2) == []
    assert wine.x.close(wine) == 0
