"""The Windows edition end to end under Wine, on a private Xvfb with openbox
and a Wine prefix of its own: its window, keys, clipboard, close and 192 dpi."""
import os
import random
import re
import shutil
import subprocess
import time

import pytest
from PIL import Image, ImageChops, ImageStat

EXE = os.environ["HEXLARK_WINDOWS_EXE"]
RESOURCES = os.environ["HEXLARK_RESOURCES_DIR"]
WINESERVER = os.environ.get("HEXLARK_WINESERVER", "wineserver")
ADDRESS = re.compile(r"[0-9A-F]{2}(-[0-9A-F]{2}){5}")
SENTINEL = "not an address"
SETTLE = 0.5  # seconds for Wine to act on a key that should change nothing
TEXT1_CENTRE = ("133", "95")  # in the client area at 96 dpi


def start_xvfb(folder):
    """An Xvfb on a free display, trying another number when one is taken."""
    for number in random.sample(range(100, 1000), 20):
        if not os.path.exists(f"/tmp/.X{number}-lock"):
            log = open(folder / "xvfb.log", "a")
            xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1024x768x24",
                                     "-nolisten", "tcp"], stdout=log, stderr=log)
            deadline = time.monotonic() + 10
            while xvfb.poll() is None and time.monotonic() < deadline:
                if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                    return xvfb, f":{number}"
                time.sleep(0.1)
            xvfb.kill()
    raise RuntimeError(f"no Xvfb started; see {folder}/xvfb.log")


class Session:
    """Xvfb, openbox and a fresh Wine prefix, and the program in them."""

    def __init__(self, folder):
        self.folder = folder
        self.xvfb, display = start_xvfb(folder)
        self.env = dict(os.environ, DISPLAY=display, WINEPREFIX=str(folder / "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.openbox = subprocess.Popen(["openbox"], env=self.env, stderr=subprocess.DEVNULL)
        self.run(WINESERVER, "-k", check=False)
        self.run("wine", "wineboot", "--init")
        self.run(WINESERVER, "-w")
        fonts = folder / "prefix/drive_c/windows/Fonts"  # Wine finds fonts-wine's only here
        for font in ("tahoma.ttf", "tahomabd.ttf", "marlett.ttf"):
            shutil.copy("/usr/share/wine/fonts/" + font, fonts)

    def run(self, *command, check=True, **options):
        return subprocess.run(command, env=self.env, check=check, capture_output=True,
                              text=True, timeout=120, **options).stdout.strip()

    def wait_window(self, title):
        return self.run("timeout", "30", "xdotool", "search", "--sync", "--onlyvisible",
                        "--name", f"^{title}$").split()[0]

    def start(self):
        self.program = subprocess.Popen(["wine", EXE], env=self.env)
        self.window = self.wait_window("Hexlark")
        self.run("xdotool", "windowactivate", "--sync", self.window)

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "50", *keys)

    def shows(self, title):
        return self.run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$",
                        check=False) != ""

    def size(self):
        geometry = self.run("xwininfo", "-id", self.window)
        return tuple(int(re.search(name + r": +(\d+)", geometry)[1]) for name in ("Width", "Height"))

    def screenshot(self):
        self.run("import", "-window", self.window, str(self.folder / "window.png"))
        return Image.open(self.folder / "window.png").convert("RGB")

    def clipboard(self, changed_from=None):
        deadline = time.monotonic() + 5
        while True:
            text = self.run("xclip", "-o", "-selection", "clipboard", check=False)
            if text != changed_from or time.monotonic() > deadline:
                return text
            time.sleep(0.1)

    def set_clipboard(self, text):
        subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=text, text=True,
                       env=self.env, check=True)

    def shown(self):
        """The address in Text1, as the box's own select-all and copy give it."""
        self.set_clipboard(SENTINEL)
        self.run("xdotool", "mousemove", "--window", self.window, *TEXT1_CENTRE, "click", "1")
        self.key("ctrl+a", "ctrl+c")
        return self.clipboard(changed_from=SENTINEL)

    def close(self):
        self.key("alt+F4")
        return self.program.wait(timeout=15)


@pytest.fixture(scope="module")
def wine(tmp_path_factory):
    session = Session(tmp_path_factory.mktemp("wine"))
    yield session
    session.run(WINESERVER, "-k", check=False)
    for process in (session.openbox, session.xvfb):
        process.terminate()
        process.wait(timeout=10)


def heading_difference(picture, reference_file, box):
    reference = Image.open(os.path.join(RESOURCES, reference_file)).convert("RGB")
    return max(ImageStat.Stat(ImageChops.difference(picture.crop(box), reference.crop(box))).mean)


def test_window_at_96_dpi(wine):
    wine.start()
    assert wine.size() == (273, 163)
    shot = wine.screenshot()
    for name, point in [("uncovered column", (272, 60)), ("uncovered strip", (4, 155)),
                        ("under the heading", (4, 78))]:
        assert shot.getpixel(point) == (0, 0, 0), name
    assert sum(pixel == (0, 255, 0) for pixel in shot.crop((8, 40, 257, 73)).getdata()) > 100
    assert heading_difference(shot, "heading.jpg", (0, 0, 272, 36)) < 4


def test_access_keys_and_clipboard(wine):
    first = wine.shown()
    assert ADDRESS.fullmatch(first) and first != "00-00-00-00-00-00"
    wine.set_clipboard(SENTINEL)
    wine.key("alt+c")
    assert wine.clipboard(changed_from=SENTINEL) == first
    wine.set_clipboard(SENTINEL)
    wine.key("alt+g")
    time.sleep(SETTLE)
    assert wine.clipboard() == SENTINEL  # Generate leaves the clipboard alone
    second = wine.shown()
    assert ADDRESS.fullmatch(second) and second != first
    wine.set_clipboard(SENTINEL)
    wine.key("alt+c")
    assert wine.clipboard(changed_from=SENTINEL) == second  # what the window shows
    wine.key("alt+a")
    wine.wait_window("About")
    wine.key("Return")
    time.sleep(SETTLE)
    assert not wine.shows("About")


@pytest.mark.parametrize("key", ["Return", "Escape"])
def test_enter_and_escape_in_text1_do_nothing(wine, key):
    shown = wine.shown()
    wine.set_clipboard(SENTINEL)
    wine.key(key)
    time.sleep(SETTLE)
    assert wine.shows("Hexlark") and not wine.shows("About")
    assert wine.clipboard() == SENTINEL
    assert wine.shown() == shown


@pytest.mark.parametrize("tabs,button", [(1, "Generate"), (2, "Copy"), (3, "About")])
def test_enter_clicks_the_focused_button(wine, tabs, button):
    before = wine.shown()
    wine.set_clipboard(SENTINEL)
    wine.key(*["Tab"] * tabs, "Return")
    if button == "About":
        wine.wait_window("About")
        wine.key("Return")
    elif button == "Copy":
        assert wine.clipboard(changed_from=SENTINEL) == before
    else:
        time.sleep(SETTLE)
        assert wine.shown() not in (before, "")


def test_closing_ends_the_program(wine):
    assert wine.close() == 0


def test_window_at_192_dpi(wine):
    wine.run("wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
             "/t", "REG_DWORD", "/d", "192", "/f")
    wine.run(WINESERVER, "-w")  # the setting takes effect in the next Wine session
    wine.start()
    assert wine.size() == (546, 326)
    assert heading_difference(wine.screenshot(), "heading@2x.jpg", (0, 0, 544, 72)) < 4
    assert wine.close() == 0
