"""The Windows edition end to end under Wine, on a private X session (see
tests/e2e/harness.py) with a Wine prefix of its own: its window, keys,
clipboard (with another program using it too), seed, close and 192 dpi."""
import collections
import itertools
import os
import time

import pytest
from harness import ADDRESS, CENTRES, colour_faults, default_buttons, text_faults, wait_for

EXE = os.environ["HEXLARK_WINDOWS_EXE"]
SETTLE = 0.5  # seconds for Wine to act on a key that should change nothing


def test_window_at_96_dpi(wine):
    wine.start()
    assert wine.x.geometry(wine.window)[2:] == (273, 163)
    assert default_buttons(wine.x.screenshot(wine.window)) == []
    wine.keys("Tab")  # Text1's caret, blinking at one end of the address, would move its ink
    for _ in range(2):  # two addresses, and their hyphens' neighbours
        shot = wine.x.screenshot(wine.window)
        assert colour_faults(shot) == [] and text_faults(shot) == []
        gaps = [b - a for a, b in itertools.pairwise(hyphen_centres(shot))]
        assert len(gaps) == 4 and max(gaps) - min(gaps) <= 1, gaps
        wine.keys("space")  # on Generate


def hyphen_centres(shot):
    """In a fixed-pitch face the hyphens, bars of the same few rows in the middle of
    the address, stand three characters apart, whatever their neighbours."""
    dark = lambda i, j: max(shot.getpixel((i, j))) < 60
    rows = [j for j in range(84, 106) if any(dark(i, j) for i in range(43, 223))]
    middle_only = [() if any(dark(i, j) for j in (*rows[:3], *rows[-3:]))
                   else tuple(j for j in rows if dark(i, j)) for i in range(43, 223)]
    bars = [(ink, [i for i, _ in columns]) for ink, columns in itertools.groupby(
        enumerate(middle_only), key=lambda column: column[1])]
    bars = [(ink, columns) for ink, columns in bars if 0 < len(ink) <= 3 and len(columns) >= 3]
    hyphen = collections.Counter(ink for ink, _ in bars).most_common(1)[0][0]
    return [sum(columns) / len(columns) for ink, columns in bars if ink == hyphen]


# Name: MSAA keyboard shortcut, as the design names and marks each control.
NAMES = {"MAC address": "", "Generate": "Alt+G", "Copy": "Alt+C", "About": "Alt+A"}
READ_ONLY = 0x40  # STATE_SYSTEM_READONLY


def test_screen_reader_names_every_control_and_hears_every_new_address(wine):
    read = wine.helper_says("listening", "read", "30000").lines
    controls = {line[1]: line[2:5] for line in read() if line[0] == "control"}
    assert {name: controls[name][2] for name in NAMES} == NAMES
    assert int(controls["MAC address"][1], 16) & READ_ONLY
    told = lambda: [line[5] for line in read() if line[0] == "live" and line[1] == "MAC address"]
    wine.run("xdotool", "windowactivate", "--sync", wine.window)
    wine.x.click(wine.window, "Text1")
    for name, keys in [("Alt+G in the box", ["alt+g"]), ("Space on Generate", ["space"]),
                       ("Enter on Generate", ["Return"]), ("Alt+C", ["alt+c"]),
                       ("Alt+G on Copy", ["alt+g"]), ("a click on Generate", [])]:
        before = len(told())
        wine.keys(*keys) if keys else wine.x.click(wine.window, "Generate")
        time.sleep(SETTLE)
        assert len(told()) == before + (name != "Alt+C"), f"{name}: {told()}"
    assert len(set(told())) == 5 and told()[-1].encode() == wine.shown()


def test_copy_waits_for_the_clipboard_and_input_meanwhile_comes_after_it(wine):
    shown = wine.shown()
    wine.claim_clipboard()
    helper = wine.helper_says("holding", "hold", "800", "paint")
    wine.keys("alt+c", "alt+g")  # Copy waits; Generate is pressed meanwhile
    helper.wait(30)
    assert helper.lines() == [["holding"], ["painted"]]
    wait_for(lambda: wine.x.clipboard() == shown, "Copy takes the address shown when pressed")
    assert wine.shown() not in (shown, None)


def test_access_keys_clipboard_and_keys_that_change_nothing(wine):
    first = wine.shown()
    assert ADDRESS.fullmatch(first) and first != b"00-00-00-00-00-00"
    assert wine.copied("alt+c") == first
    held = wine.claim_clipboard()  # and all but the last digit selected
    wine.keys("Return", "Escape", "x", "BackSpace", "Delete", "ctrl+v", "shift+Insert")
    time.sleep(SETTLE)
    assert wine.x.windows("Hexlark") and not wine.x.windows("About") and wine.x.clipboard() == held
    assert wine.shown() == first
    held = wine.claim_clipboard()
    wine.keys("alt+g")
    time.sleep(SETTLE)
    assert wine.x.clipboard() == held  # Generate leaves the clipboard alone
    second = wine.shown()
    assert ADDRESS.fullmatch(second) and second != first
    wine.keys("alt+a")
    about = wine.x.find("About")  # grey face, black text, a bright blue frame round OK: no icon
    assert not [p for p in wine.x.screenshot(about).getdata() if max(p) - min(p) > 20 and p[2] < 240]
    wine.x.keys(about, "Return")
    wait_for(lambda: not wine.x.windows("About"), "OK closes the box")
    wine.keys("Return")  # on About, which Alt+A gave the focus as a click does
    wine.x.keys(wine.x.find("About"), "Return")  # the next test finds it gone


@pytest.mark.parametrize("tabs,button", [(1, "Generate"), (2, "Copy"), (3, "About"), (0, "Generate")])
def test_enter_clicks_the_focused_button(wine, tabs, button):
    before = wine.shown()
    if not tabs:  # pressed with the mouse and released off it: focused, not clicked
        wine.run("xdotool", "mousemove", "--window", wine.window, *map(str, CENTRES["Generate"]), "mousedown", "1",
                 "mousemove", "--window", wine.window, str(CENTRES["Generate"][0]), "60", "mouseup", "1")
    if button == "Copy":
        assert wine.copied(*["Tab"] * tabs, "Return") == before
        return
    wine.keys(*["Tab"] * tabs, "Return")
    if button == "About":
        wine.x.keys(wine.x.find("About"), "Return")  # its OK
    else:
        time.sleep(SETTLE)
        assert wine.shown() != before


def test_copy_fails_when_the_clipboard_stays_busy(wine):
    wine.helper_says("holding", "hold", "3000")
    wine.keys("alt+c")
    box = wait_for(lambda: [w for w in wine.x.windows("Hexlark") if w != wine.window],
                   "the failure reported in a box")
    said = [line[1] for line in wine.helper_says("listening", "read", "0").lines()
            if line[0] == "control"]  # the box's, in front
    assert "hexlark: cannot clear the clipboard" in said, said
    wine.x.keys(box[0], "Return")
    assert wine.proc.wait(15) == 1
    wine.start()


def test_copies_started_at_once_seed_from_the_system(wine):
    wine.run("wine", "reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude", "/d",
             "msvcrt.rand_s", "/f")
    copies = [wine.x.start(["wine", EXE], env=dict(wine.env, WINEDEBUG="+relay"), name=f"copy{i}")
              for i in range(2)]
    apps = [wine.x.window(copy) for copy in copies]
    assert wine.shown(apps[0].window) != wine.shown(apps[1].window)
    assert [wine.x.close(app) for app in apps] == [0, 0]
    # Each copy's seed: 32 bytes of the system's generator, 4 at a time.
    assert [open(app.log).read().count("Call msvcrt.rand_s(") for app in apps] == [8, 8]


def test_alt_f4_ends_the_program(wine):  # and WM_DELETE_WINDOW, at 192 dpi below
    wine.keys("alt+F4")
    assert wine.proc.wait(15) == 0


def test_window_at_192_dpi(wine):
    wine.run("wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
             "/t", "REG_DWORD", "/d", "192", "/f")
    wine.run(wine.SERVER, "-w")  # the setting takes effect in the next Wine session
    wine.start()
    assert wine.x.geometry(wine.window)[2:] == (546, 326)
    shot = wine.x.screenshot(wine.window)
    assert colour_faults(shot) == [] and text_faults(shot, 2) == []
    assert wine.x.close(wine) == 0
