"""The Wine session of the Windows edition's tests: a fresh prefix on a private
X session (tests/e2e/harness.py), and the program and helpers started in it."""
import os
import shutil
import time

import pytest
from harness import XSession, run, wait_for


class Wine:
    """A fresh Wine prefix on an X session, and the program started in it."""

    SERVER = os.environ.get("HEXLARK_WINESERVER", "wineserver")
    EXE = os.environ["HEXLARK_WINDOWS_EXE"]
    SETTLE = 0.5  # seconds for Wine to act on what it was sent, such as a key that should change nothing

    def __init__(self, x):
        self.x = x
        self.env = dict(x.env, WINEPREFIX=f"{x.tmp}/prefix", WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.run("wine", "wineboot", "--init")
        self.run(self.SERVER, "-w")
        for font in ("tahoma.ttf", "tahomabd.ttf", "marlett.ttf"):  # found only in the prefix
            shutil.copy(f"/usr/share/wine/fonts/{font}", f"{x.tmp}/prefix/drive_c/windows/Fonts")

    def run(self, *command, check=True):
        return run(command, timeout=120, env=self.env, check=check).stdout.decode().strip()

    def start(self, program=None):
        self.proc = self.x.start(["wine", program or self.EXE], env=self.env, name="hexlark.exe")
        self.window = self.x.find("Hexlark", 120)  # Wine's first program in a prefix starts slowly on a busy machine

    def helper_says(self, word, *args):
        """The helper (helper.cpp, cross-built once) started beside Hexlark with args, once it
        has said word; its lines so far, split, from .lines()."""
        helper, out = f"{self.x.tmp}/helper.exe", f"{self.x.tmp}/{args[0]}{len(self.x.procs)}.out"
        if not os.path.exists(helper):
            run([os.environ["HEXLARK_MINGW_CXX"], "-O2", "-static", "-o", helper,
                 f"{os.path.dirname(__file__)}/helper.cpp", "-loleacc", "-lole32", "-loleaut32"], timeout=120)
        proc = self.x.start(["wine", helper, *args], env=self.env, name=args[0], stdout=open(out, "w"))
        wait_for(lambda: word in open(out).read(), lambda: f"the helper says {word} (it said {open(out).read()!r})", 60)
        proc.lines = lambda: [line.split("\t") for line in open(out).read().splitlines()]
        return proc

    def keys(self, *chords):
        self.x.keys(self.window, *chords)

    def claim_clipboard(self):
        """Puts Text1's address less its last digit on the clipboard, through Wine
        itself: after taking in another X program's clipboard, Wine's clipboard
        thread now and then sleeps through the next copy until a new X event."""
        # Active first: Wine may see the activation after the click, and then
        # gives the focus back to the control that had it before; keys pressed
        # through XTEST come soon enough after it to meet that.
        # On a busy machine the part has once not come at all: the keys are pressed again before giving up.
        for tries_left in (2, 1, 0):
            self.run("xdotool", "windowactivate", "--sync", self.window)
            time.sleep(self.SETTLE)
            self.x.click(self.window, "MAC address")
            self.keys("ctrl+a", "shift+Left", "ctrl+c")
            try:
                return wait_for(lambda: (lambda held: held and len(held) == 16 and held)(self.x.clipboard()),
                                "a part copied", 15)
            except pytest.fail.Exception:
                if not tries_left:
                    raise

    def copied(self, *chords):
        marker = self.claim_clipboard()
        self.keys(*chords)
        return self.x.clipboard_after(marker)

    def shown(self):
        """The address in Text1, as the box's own select-all and copy give it."""
        return self.copied("ctrl+a", "ctrl+c")


@pytest.fixture(scope="module")
def wine():
    if os.environ.get("HEXLARK_WITHOUT_WINE"):  # configure said so: only the tests that need no Wine run
        pytest.skip("this release packages no Wine")
    with XSession() as x:
        try:
            yield Wine(x)
        finally:
            run([Wine.SERVER, "-k"], env=dict(x.env, WINEPREFIX=f"{x.tmp}/prefix"), check=False)
