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
GREEN = (0, 255, 0)
TEXT1_CENTRE = (133, 95)  # 96-dpi pixels in the client area


def start_xvfb(folder):
    """An Xvfb on a free display; another may take a number at the same time."""
    for number in random.sample(range(100, 1000), 20):
        if os.path.exists(f"/tmp/.X{number}-lock"):
            continue
        with open(folder / "xvfb.log", "a") as log:
            xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1024x768x24",
                                     "-nolisten", "tcp"], stdout=log, stderr=log)
        deadline = time.monotonic() + 10
        while xvfb.poll() is None and time.monotonic() < deadline:
            if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                return xvfb, f":{number}"
            time.sleep(0.1)
        xvfb.kill()
        xvfb.wait()
    raise RuntimeError("no Xvfb started; see " + str(folder / "xvfb.log"))


class Session:
    """Xvfb, openbox and a fresh Wine prefix; the program started in it."""

    def __init__(self, folder):
        self.folder = folder
        self.xvfb, display = start_xvfb(folder)
        self.env = dict(os.environ, DISPLAY=display, WINEPREFIX=str(folder / "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.openbox = subprocess.Popen(["openbox"], env=self.env, stderr=subprocess.DEVNULL)
        self.run(WINESERVER, "-k", check=False)
        self.run("wine", "wineboot", "--init")
        self.run(WINESERVER, "-w")
        fonts = folder / "prefix/drive_c/windows/Fonts"
        fonts.mkdir(parents=True, exist_ok=True)
        for font in ("tahoma.ttf", "tahomabd.ttf", "marlett.ttf"):
            shutil.copy("/usr/share/wine/fonts/" + font, fonts)
        self.program = None

    def run(self, *command, check=True, **options):
        return subprocess.run(command, env=self.env, check=check, capture_output=True,
                              text=True, timeout=120, **options).stdout.strip()

    def start(self):
        self.program = subprocess.Popen(["wine", EXE], env=self.env)
        self.window = self.run("timeout", "30", "xdotool", "search", "--sync", "--onlyvisible",
                               "--name", "^Hexlark$").split()[0]
        self.run("xdotool", "windowactivate", "--sync", self.window)
        return self.window

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "50", *keys)

    def windows(self, title):
        return self.run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$",
                        check=False).split()

    def size(self):
        geometry = self.run("xwininfo", "-id", self.window)
        return tuple(int(re.search(f"{name}: +(\\d+)", geometry)[1])
                     for name in ("Width", "Height"))

    def screenshot(self):
        path = self.folder / "window.png"
        self.run("import", "-window", self.window, str(path))
        return Image.open(path).convert("RGB")

    def clipboard(self, wait_for_change_from=None):
        deadline = time.monotonic() + 5
        while True:
            text = self.run("xclip", "-o", "-selection", "clipboard", check=False)
            if text != wait_for_change_from or time.monotonic() > deadline:
                return text
            time.sleep(0.1)

    def set_clipboard(self, text):
        subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=text, text=True,
                       env=self.env, check=True)

    def shown(self):
        """The address in Text1, as the box's own select-all and copy give it."""
        self.set_clipboard(SENTINEL)
        self.run("xdotool", "mousemove", "--window", self.window, *map(str, TEXT1_CENTRE),
                 "click", "1")
        self.key("ctrl+a", "ctrl+c")
        return self.clipboard(wait_for_change_from=SENTINEL)

    def close(self):
        self.key("alt+F4")
        return self.program.wait(timeout=15)

    def stop(self):
        self.run(WINESERVER, "-k", check=False)
        for process in (self.openbox, self.xvfb):
            process.terminate()
            process.wait(timeout=10)


@pytest.fixture(scope="module")
def session(tmp_path_factory):
    session = Session(tmp_path_factory.mktemp("wine"))
    yield session
    session.stop()


def differs(picture, reference_file, box):
    reference = Image.open(os.path.join(RESOURCES, reference_file)).convert("RGB")
    difference = ImageChops.difference(picture.crop(box), reference.crop(box))
    return max(ImageStat.Stat(difference).mean)


def test_window_at_96_dpi(session):
    session.start()
    assert session.size() == (273, 163)
    shot = session.screenshot()
    for name, point in [("uncovered column", (272, 60)), ("uncovered strip", (4, 155)),
                        ("below the heading", (4, 78))]:
        assert shot.getpixel(point) == (0, 0, 0), name
    labels = shot.crop((8, 40, 257, 73)).getdata()
    assert sum(pixel == GREEN for pixel in labels) > 100
    assert differs(shot, "heading.jpg", (0, 0, 272, 36)) < 4


def test_keys_and_clipboard(session):
    first = session.shown()
    assert ADDRESS.fullmatch(first) and first != "00-00-00-00-00-00"
    session.set_clipboard(SENTINEL)
    session.key("alt+c")
    assert session.clipboard(wait_for_change_from=SENTINEL) == first
    session.set_clipboard(SENTINEL)
    session.key("alt+g")
    time.sleep(SETTLE)
    assert session.clipboard() == SENTINEL  # Generate leaves the clipboard alone
    second = session.shown()
    assert ADDRESS.fullmatch(second) and second != first
    session.key("alt+c")
    assert session.clipboard(wait_for_change_from=second) == second  # what the window shows
    session.key("alt+a")
    session.run("timeout", "10", "xdotool", "search", "--sync", "--onlyvisible", "--name",
                "^About$")
    session.key("Return")
    time.sleep(SETTLE)
    assert not session.windows("About")


@pytest.mark.parametrize("key", ["Return", "Escape"])
def test_enter_and_escape_in_text1_do_nothing(session, key):
    shown = session.shown()
    session.set_clipboard(SENTINEL)
    session.key(key)
    time.sleep(SETTLE)
    assert session.windows("Hexlark") and not session.windows("About")
    assert session.clipboard() == SENTINEL
    assert session.shown() == shown


@pytest.mark.parametrize("tabs,button", [(1, "Generate"), (2, "Copy"), (3, "About")])
def test_enter_clicks_the_focused_button(session, tabs, button):
    before = session.shown()
    session.key(*["Tab"] * tabs, "Return")
    if button == "About":
        session.run("timeout", "10", "xdotool", "search", "--sync", "--onlyvisible", "--name",
                    "^About$")
        session.key("Return")
    elif button == "Copy":
        assert session.clipboard(wait_for_change_from=before) == before
    else:
        time.sleep(SETTLE)
        assert session.shown() not in (before, "")


def test_closing_ends_the_program(session):
    assert session.close() == 0


def test_window_at_192_dpi(session):
    session.run("wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
                "/t", "REG_DWORD", "/d", "192", "/f")
    session.run(WINESERVER, "-w")  # the setting takes effect in the next Wine session
    session.start()
    assert session.size() == (546, 326)
    assert differs(session.screenshot(), "heading@2x.jpg", (0, 0, 544, 72)) < 4
    assert session.close() == 0
