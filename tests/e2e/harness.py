"""One harness for Hexlark's black-box tests: the real program on real displays.

Fixtures (conftest.py) start everything a test needs and always stop it again:
  x       XSession(screen="1024x768x24", wm="openbox"): a private Xvfb (-displayfd,
          -noreset) with a window manager (openbox, icewm, fluxbox, kwin_x11; None: none),
          a private D-Bus session bus
          (which starts AT-SPI and other services on demand) and XDG_RUNTIME_DIR,
          HOME and XDG folders of its own under x.tmp. Tests that need other
          sessions make them with `with XSession(...) as x:`, which stops them.

Helpers:
  run(cmd, timeout=60, env=None, check=True) -> CompletedProcess (bytes); a
      command that outlives its timeout fails the test, and never hangs it.
  wait_for(probe, what, timeout=20) -> the first truthy value probe() returns; what
                              (or what() once the wait has failed) names it.
  x.env                       environment for programs on this display.
  x.start(cmd, env=None, name=None) -> Popen, stdout/stderr in x.tmp/<name>.log,
                              stopped (TERM, then KILL) when the session ends.
  x.hexlark(env=None, prefix=(), name=, **popen) -> App(proc, window, log): the
                              program HEXLARK_BINARY (set by CTest, or debian/tests)
                              started (under prefix, e.g. strace) and its mapped
                              window; its standard error is in log.
  x.window(proc, *search)     App for a program started with x.start, once it shows a
                              window xdotool finds by search (default: its own Hexlark).
  x.windows(title)            the visible windows of that exact title, now.
  x.find(title)               the first of them, once there is one.
  x.keys(window, *chords, delay=50) activate the window, then press e.g. "alt+c",
                              delay ms apart: the keys that type those chords under US,
                              through XTEST by keycode, as a user presses them.
  x.layout(name)              the keyboard layout from now on ("ru,us": Russian, then US).
  x.click(window, left, top)  a mouse click at a point of the client area, or at the
                              middle of a control: x.click(window, "Copy").
  x.clipboard()               the CLIPBOARD's text as exact bytes, or None.
  x.copied(window, *chords)   claim the clipboard with other text, press the keys,
                              return what the clipboard then holds.
  x.clipboard_after(marker)   the clipboard's text once it holds other than marker.
  x.geometry(window)          client area (left, top, width, height) on the screen.
  x.frame(window)             the same of the frame the window manager drew round it.
  x.screenshot(window)        PIL RGB image of the window, once it stops changing.
  x.close(app)                WM_DELETE_WINDOW, as a window manager sends it; the
                              exit status (the test fails if the program does not end).
  x.property(window, name)    a window's (or x.xlib's root's) property, or None.
  x.panel(height, width=0)    a dock along the screen's top (and down its left) that keeps
                              that many pixels to itself (_NET_WM_STRUT_PARTIAL), as a
                              desktop's panels do, once the window manager has taken
                              them off the work area; dock.destroy() takes it away.
  x.xlib                      python3-xlib's Display on the session.
  colour_faults(image)        [] when a picture of the client area, at any scale,
                              shows the window's colours (see COLOUR_CHECKS).
  text_faults(image, ratio=1) [] when each text of the picture (scaled by ratio)
                              stands whole in its box, the address centred in its
                              own (see TEXT_INSETS).
  default_buttons(image)      [] when no button of the picture wears a default's frame.
  ADDRESS                     the shape of one address, as exact bytes.
  VERSION, APP_ID, HOMEPAGE   the build's values (None where there is no build).
  CLIENT, PICTURE, BOXES, KINDS, CENTRES  the design's pixels, by accessible name.
  description_faults(told)    [] when each control (accessible name: description)
                              has a description, and one of its own.
"""
import collections
import contextlib
import io
import json
import os
import re
import shutil
import subprocess
import tempfile
import time

import pytest
from PIL import Image
from Xlib import XK, X, Xatom, Xutil, display, protocol
from Xlib.ext import xtest

ADDRESS = re.compile(rb"[0-9A-F]{2}(-[0-9A-F]{2}){5}")
# What the build knows of the program, handed on by CTest (cmake/pytest.cmake);
# the as-installed tests have no build, and need none of it.
VERSION, APP_ID, HOMEPAGE = (os.environ.get(f"HEXLARK_{name}") for name in ("VERSION", "APP_ID", "HOMEPAGE"))
# The design in pixels at 96 dpi, as the build writes it from the design table
# (tests/design_pixels.cpp): where the tests click and what they crop. The layout
# itself is checked by form1_test alone.
DESIGN = json.load(open(os.environ["HEXLARK_DESIGN_PIXELS"], encoding="utf-8"))
CLIENT, PICTURE = tuple(DESIGN["client"]), tuple(DESIGN["picture"])
BOXES = {name: tuple(control["box"]) for name, control in DESIGN["controls"].items()}
KINDS = {name: control["kind"] for name, control in DESIGN["controls"].items()}
CENTRES = {name: (left + width // 2, top + height // 2) for name, (left, top, width, height) in BOXES.items()}
App = collections.namedtuple("App", "proc window log")
MODIFIERS = {"alt": "Alt_L", "ctrl": "Control_L", "shift": "Shift_L"}


def run(cmd, timeout=60, env=None, check=True, **kwargs):
    try:
        done = subprocess.run(cmd, env=env, capture_output=True, timeout=timeout, **kwargs)
    except subprocess.TimeoutExpired:
        pytest.fail(f"{cmd} still running after {timeout} s")
    if check and done.returncode != 0:
        pytest.fail(f"{cmd} failed ({done.returncode}): {done.stderr.decode(errors='replace')}")
    return done


def wait_for(probe, what, timeout=20):
    deadline, pause = time.monotonic() + timeout, 0.05
    while not (found := probe()):
        if time.monotonic() > deadline:
            pytest.fail(f"{what() if callable(what) else what}: not within {timeout} s")
        # A probe may start a program: on a busy machine, where waits are long, ever fewer of them.
        time.sleep(pause)
        pause = min(pause * 1.5, 0.5)
    return found


class XSession(contextlib.AbstractContextManager):
    def __init__(self, screen="1024x768x24", wm="openbox"):
        self.tmp, self.procs, self.server = tempfile.mkdtemp(prefix="hexlark-"), [], None
        try:
            self._begin(screen, wm)
        except BaseException:
            self.stop()
            raise

    def __exit__(self, *raised):
        self.stop()

    def _begin(self, screen, wm):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", screen, "-nolisten", "tcp",
             "-noreset"], pass_fds=[write], stderr=open(f"{self.tmp}/xvfb.log", "wb"))
        os.close(write)
        with os.fdopen(read) as announced:
            self.number = int(announced.readline())
        homes = {"XDG_RUNTIME_DIR": "runtime", "HOME": "home", "XDG_CACHE_HOME": "cache",
                 "XDG_CONFIG_HOME": "config", "XDG_DATA_HOME": "data"}
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "SESSION_MANAGER")}
        self.env |= {var: f"{self.tmp}/{name}" for var, name in homes.items()} | {"DISPLAY": f":{self.number}"}
        for name in homes.values():
            os.makedirs(f"{self.tmp}/{name}", mode=0o700)
        bus = self.start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        self.xlib = display.Display(self.env["DISPLAY"])
        # Each key's code in the keymap the server starts with, US: keys() presses the keys that
        # type a chord there, whatever the layout, as a user presses them.
        mapping = enumerate(self.xlib.get_keyboard_mapping(8, 248), 8)
        self.keycodes = {sym: code for code, syms in reversed(list(mapping)) for sym in syms[:2]}
        if wm == "openbox":
            # Openbox runs the startup command once it manages the screen; a window
            # mapped while it still loads its theme and menus may stay unmanaged.
            self.start(["openbox", "--sm-disable", "--startup", f"touch {self.tmp}/wm-ready"])
            wait_for(lambda: os.path.exists(f"{self.tmp}/wm-ready"), "openbox manages the screen")
        elif wm:
            # KWin composites with OpenGL unless told not to; Xvfb has none to give.
            self.start([wm], env=dict(self.env, KWIN_COMPOSE="N"))
            wait_for(lambda: self.property(self.xlib.screen().root, "_NET_SUPPORTING_WM_CHECK"),
                     f"{wm} manages the screen")

    def start(self, cmd, env=None, name=None, **kwargs):
        name = name or os.path.basename(cmd[0])
        kwargs.setdefault("stdout", open(f"{self.tmp}/{name}.log", "ab"))
        proc = subprocess.Popen(cmd, env=env or self.env, stderr=open(f"{self.tmp}/{name}.err", "ab"), **kwargs)
        proc.log = f"{self.tmp}/{name}.err"
        self.procs.append(proc)
        return proc

    def hexlark(self, env=None, prefix=(), name="hexlark", **popen):
        proc = self.start([*prefix, os.environ["HEXLARK_BINARY"]], env=env, name=name, **popen)
        return self.window(proc, *["--name", "^Hexlark$"] * bool(prefix))  # a prefix's child shows it

    def window(self, proc, *search):
        search = search or ("--all", "--pid", str(proc.pid), "--name", "^Hexlark$")
        # Asked again and again: xdotool gives up at the first window that goes away while it
        # reads it, as a window manager's own do while it starts.
        found = wait_for(lambda: proc.poll() is not None or run(["xdotool", "search", "--onlyvisible", *search],
                                                                env=self.env, check=False).stdout.split(),
                         f"a window of pid {proc.pid}, {search}", 30)
        assert found is not True, f"no window: {open(proc.log).read()}"
        return App(proc, found[0].decode(), proc.log)

    def windows(self, title):
        return run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], env=self.env,
                   check=False).stdout.decode().split()

    def find(self, title, timeout=30):
        return wait_for(lambda: self.windows(title), f"a window named {title}", timeout)[0]

    def keys(self, window, *chords, delay=50):
        run(["xdotool", "windowactivate", "--sync", window], env=self.env)
        for chord in chords:
            codes = [self.keycodes[XK.string_to_keysym(MODIFIERS.get(key, key))] for key in chord.split("+")]
            for event, order in ((X.KeyPress, codes), (X.KeyRelease, codes[::-1])):
                for code in order:
                    xtest.fake_input(self.xlib, event, code)
                self.xlib.sync()
                time.sleep(delay / 2000)

    def layout(self, name):
        run(["setxkbmap", name], env=self.env)

    def click(self, window, left, top=None):
        left, top = CENTRES[left] if top is None else (left, top)
        run(["xdotool", "mousemove", "--window", window, str(left), str(top), "click", "1"], env=self.env)

    def clipboard(self):
        # An owner may read a request into its queue and not look at it until its next X event
        # comes (Wine's clipboard thread does, on a busy machine): a new request is such an event.
        for _ in range(6):
            with contextlib.suppress(subprocess.TimeoutExpired):
                got = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env, capture_output=True,
                                     timeout=10)
                return got.stdout if got.returncode == 0 else None
        pytest.fail("the clipboard's owner answered none of 6 requests in 10 s each")

    def copied(self, window, *chords):
        marker = b"text from another program"
        claim = self.start(["xclip", "-quiet", "-i", "-selection", "clipboard"], stdin=subprocess.PIPE)
        claim.stdin.write(marker)
        claim.stdin.close()
        wait_for(lambda: self.clipboard() == marker, "another program owns the clipboard")
        self.keys(window, *chords)
        return self.clipboard_after(marker)

    def clipboard_after(self, marker):
        return wait_for(lambda: (lambda held: held not in (None, marker) and held)(self.clipboard()),
                        "the clipboard changes")

    def property(self, window, name):
        """A window's (or the root's) property, as python3-xlib reads it; None if unset."""
        if isinstance(window, str):
            window = self.xlib.create_resource_object("window", int(window))
        return window.get_full_property(self.xlib.intern_atom(name), X.AnyPropertyType)

    def panel(self, height, width=0):
        screen, atom = self.xlib.screen(), self.xlib.intern_atom
        across, down = screen.width_in_pixels, screen.height_in_pixels
        dock = screen.root.create_window(0, 0, across, height, 0, X.CopyFromParent)
        dock.change_property(atom("_NET_WM_WINDOW_TYPE"), Xatom.ATOM, 32, [atom("_NET_WM_WINDOW_TYPE_DOCK")])
        dock.change_property(atom("_NET_WM_STRUT_PARTIAL"), Xatom.CARDINAL, 32,
                             [width, 0, height, 0, 0, (down - 1) * bool(width), 0, 0, 0, across - 1, 0, 0])
        dock.set_wm_normal_hints(flags=Xutil.USPosition)  # where it stands, not where the window manager places it
        dock.map()
        self.xlib.sync()
        wait_for(lambda: list(getattr(self.property(screen.root, "_NET_WORKAREA"), "value", []))[:4] == [
            width, height, across - width, down - height], "the work area less the panels")
        return dock

    def geometry(self, window):
        info = run(["xwininfo", "-id", window], env=self.env).stdout.decode()
        return tuple(int(re.search(rf"{key}:\s+(-?\d+)", info).group(1))
                     for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def frame(self, window):
        left, top, width, height = self.geometry(window)
        fl, fr, ft, fb = getattr(self.property(window, "_NET_FRAME_EXTENTS"), "value", (0, 0, 0, 0))
        return left - fl, top - ft, width + fl + fr, height + ft + fb

    def screenshot(self, window):
        def settled(previous=[None]):
            shot = Image.open(io.BytesIO(run(["import", "-window", window, "png:-"],
                                             env=self.env).stdout)).convert("RGB")
            same, previous[0] = shot.tobytes() == (previous[0] and previous[0].tobytes()), shot
            return same and shot
        return wait_for(settled, "the window stops changing")

    def close(self, app, timeout=15):
        window = self.xlib.create_resource_object("window", int(app.window))
        window.send_event(protocol.event.ClientMessage(
            window=window, client_type=self.xlib.intern_atom("WM_PROTOCOLS"),
            data=(32, [self.xlib.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0])))
        self.xlib.flush()
        return app.proc.wait(timeout)

    def stop(self):
        if hasattr(self, "xlib") and self.server.poll() is None:
            self.xlib.close()
        for proc in filter(None, [*reversed(self.procs), self.server]):
            proc.terminate()  # nothing, if it has ended
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)


SCREEN_COLOURS = {
    "black": lambda r, g, b: max(r, g, b) <= 16,
    "green": lambda r, g, b: g >= 128 and r <= g // 2 and b <= g // 2,
    "grey": lambda r, g, b: min(r, g, b) >= 150 and max(r, g, b) - min(r, g, b) <= 40,
    "black or green": lambda r, g, b: max(r, g, b) <= 16 or g > max(r, b),  # and the two blended
    "dark": lambda r, g, b: max(r, g, b) <= 110,
}


def inset(box, across, down):
    """A box (left, top, width, height) less that much on each side, as left, top, right, bottom (exclusive)."""
    left, top, width, height = box
    return left + across, top + down, left + width - across, top + height - down


# The box round every button.
BUTTONS = tuple(f(column) for f, column in zip((min, min, max, max), zip(
    *(inset(box, 0, 0) for name, box in BOXES.items() if KINDS[name] == "button"))))
# Regions of the client area at 1x (left, top, right, bottom exclusive), what colour
# to count there, and how many such pixels it must have; None: all.
COLOUR_CHECKS = [
    ("right column is black", (PICTURE[0], 0, *CLIENT), "black", None),
    ("strip left of the buttons is black", (0, PICTURE[1] + 1, BUTTONS[0], CLIENT[1]), "black", None),
    ("strip under the buttons is black", (0, BUTTONS[3] + 1, *CLIENT), "black", None),
    ("Vorrel is green", inset(BOXES["Vorrel"], 0, 1), "green", 50),
    ("the web address is green", inset(BOXES["Web address"], 0, 1), "green", 300),
    ("no box behind the labels", (0, BOXES["Vorrel"][1], CLIENT[0], inset(BOXES["Web address"], 0, 0)[3] + 1),
     "black or green", None),
    # Where the heading picture's lettering stands.
    ("heading letters are bright green", (7, 7, 270, 33), "green", 2000),
    ("heading has a light grey underside", (7, 33, 270, 35), "grey", 120),
]


def colour_faults(image):
    image, faults = image.resize(CLIENT, Image.BOX), []  # a copy, at 1x
    for name, box, colour, least in COLOUR_CHECKS:
        pixels = list(image.crop(box).getdata())
        if (ok := sum(SCREEN_COLOURS[colour](*p) for p in pixels)) < (least or len(pixels)):
            faults.append(f"{name}: {ok} of {len(pixels)} pixels")
    return faults


# Where each kind of control draws its text, inside its frame (and a label off
# the row it shares with the next), and in what: green lettering on black, dark
# text on the light box and button faces.
TEXT_INSETS = {"label": ((0, 1), "green"), "text box": ((3, 3), "dark"), "button": ((2, 3), "dark")}


def text_faults(image, ratio=1):
    faults = []
    for name, box in BOXES.items():
        (across, down), ink = TEXT_INSETS[KINDS[name]]
        left, top, right, bottom = inset(box, across, down)
        left, top, width, height = (round(v * ratio) for v in (left, top, right - left, bottom - top))
        columns = [i for i in range(left, left + width)
                   if any(SCREEN_COLOURS[ink](*image.getpixel((i, j))) for j in range(top, top + height))]
        margins = columns and (columns[0] - left, left + width - 1 - columns[-1])
        if not columns or min(margins) < 1 or KINDS[name] == "text box" and abs(
                margins[0] - margins[1]) > 4 * ratio:  # side bearings of the end glyphs
            faults.append(f"{name}: drawn over x {columns[:1]} to {columns[-1:]} of {left}, {width}")
    return faults


def default_buttons(image):
    """The blue pixels of the buttons in a picture of the client area at 96 dpi: a
    default button wears a blue frame, and no button may while the address box has
    the focus."""
    return [p for p in image.crop(BUTTONS).getdata() if p[2] > p[0] + 40]


def description_faults(told):
    return [name for name in BOXES if not told.get(name) or list(told.values()).count(told[name]) > 1]
