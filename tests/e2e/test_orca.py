"""The real program read by the Orca screen reader, over AT-SPI on the session's bus."""
import os
import pty
import re
import threading

from harness import wait_for


def test_orca_reads_the_address_and_tells_every_new_one(x):
    # Orca logs what it would say; without a speech server it starts at once. Its log
    # goes to a terminal, which it writes line by line rather than a block at a time.
    terminal, orca_side = pty.openpty()
    x.start(["orca", f"--debug-file={os.ttyname(orca_side)}"],
            env=dict(x.env, SPEECHD_CMD="/bin/false"))
    lines = []
    threading.Thread(target=lambda: lines.extend(iter(lambda: os.read(terminal, 1 << 16).decode(
        errors="replace"), "")), daemon=True).start()
    spoken = lambda: "".join(re.findall(r"SPEECH OUTPUT: (.*)", "".join(lines)))
    told = lambda: re.findall(r"New address ([0-9A-F-]{17})", spoken())  # Orca 48 adds no full stop
    wait_for(lambda: "listener for: window:destroy" in "".join(lines), "Orca listens", 60)
    app = x.hexlark()
    # The address opens an utterance: Orca 43 and 48 end it with a full stop, Orca 51 speaks it alone.
    wait_for(lambda: re.search(r"'[0-9A-F]{2}(-[0-9A-F]{2}){5}[.']", spoken()), "Orca reads it")
    for name, keys in [("Alt+G in the box", ["alt+g"]), ("Alt+G on Copy", ["Tab", "alt+g"]),
                       ("Space on Generate", ["space"]), ("Enter on Generate", ["Return"]),
                       ("a click on Generate", [])]:
        before = len(told())
        x.keys(app.window, *keys) if keys else x.click(app.window, "Generate")
        wait_for(lambda: len(told()) > before, lambda: f"{name} is told: {spoken()[-200:]}")
    assert len(set(told())) == 5 and x.copied(app.window, "alt+c").decode() == told()[-1]
