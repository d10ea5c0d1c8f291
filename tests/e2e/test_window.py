"""The real program on an X display with a window manager, as a user and a screen reader see it."""
import json
import os
import sys

import pyatspi
from harness import ADDRESS, colour_faults, default_buttons, description_faults, run, wait_for

PROBE = f"{os.path.dirname(os.path.abspath(__file__))}/atspi_probe.py"
# AT-SPI's roles by number, as they go over the bus: the library's names for them
# change ("push button" became "button").
ROLES = {"Hexlark": pyatspi.ROLE_FRAME, "Vorrel": pyatspi.ROLE_LABEL, "Web address": pyatspi.ROLE_LABEL,
         "MAC address": pyatspi.ROLE_TEXT} | dict.fromkeys(("Generate", "Copy", "About"), pyatspi.ROLE_PUSH_BUTTON)


def test_user_and_screen_reader_see_copy_the_shown_address(x):
    app = x.hexlark(env=dict(x.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1"))
    shot = x.screenshot(app.window)
    assert colour_faults(shot) == [] and default_buttons(shot) == []
    # The icon a window manager and a task bar show (_NET_WM_ICON: width, height, ARGB
    # pixels, for each size the program carries): a black disc in a green ring, clear outside.
    icon, sizes = x.property(app.window, "_NET_WM_ICON").value, []
    while icon:
        size, pixels, icon = icon[0], icon[2:2 + icon[0] * icon[1]], icon[2 + icon[0] * icon[1]:]
        green = [p for p in pixels if p >> 24 > 200 and (p >> 8) & 255 > 200 and (p >> 16) & 255 < 100]
        sizes += [(size, len(pixels) // size, pixels[0] >> 24, pixels[size * size // 2 + size // 2], len(green) > size)]
    assert sorted(sizes) == [(n, n, 0, 0xFF000000, True) for n in (16, 24, 32, 48, 64)]

    # What a screen reader reads of the window, over AT-SPI; with ask, after asking
    # the address box every text question it can.
    screen_reader = lambda *ask: json.loads(run([sys.executable, PROBE, str(app.proc.pid), *ask], timeout=120,
                                                env=x.env).stdout)
    seen = screen_reader("ask")
    assert seen["roles"] == ROLES and description_faults(seen["descriptions"]) == []
    assert "read only" in seen["box states"] and ADDRESS.fullmatch(shown := seen["text"].encode())
    # Moving through the address: each character, the octet or hyphen it is in, the
    # whole line; at the end, where the caret stands, the word and line just read.
    address = seen["text"]
    octets = [address[i - i % 3:i - i % 3 + 2] if i % 3 < 2 else "-" for i in range(17)]
    assert seen["offsets"] == [[c, w, address] for c, w in zip([*address, ""], [*octets, octets[-1]])]

    x.keys(app.window, "alt+g")
    generated = wait_for(lambda: (lambda now: now != shown and now)(screen_reader()["text"].encode()),
                         "Alt+G shows a new address")

    for layout in ("ru,us", "il,us", "gr,us"):  # the non-Latin group first, as its users have it
        x.layout(layout)  # and from now on keys pressed by the physical key
        x.click(app.window, "MAC address")
        assert x.copied(app.window, "g", "BackSpace", "Delete", "ctrl+v", "alt+c") == generated
        shown, generated = generated, x.copied(app.window, "alt+g", "alt+c")
        assert ADDRESS.fullmatch(generated) and generated != shown, layout
        x.keys(app.window, "alt+a")
        x.keys(x.find("About"), "Return")
        wait_for(lambda: not x.windows("About"), f"{layout}: OK closes the About box")
    assert x.close(app) == 0, open(app.log).read()
