"""What a screen reader reads of Hexlark's window over AT-SPI, printed as JSON:
    atspi_probe.py PID           the window's roles, descriptions, box states and the address;
    atspi_probe.py PID ask       the same, after asking the address box every text
                                 question it can, and the answers at each offset."""
import itertools
import json
import sys

import pyatspi
from gi.repository import Atspi, GLib

from harness import wait_for


pid, ask = int(sys.argv[1]), sys.argv[2:] == ["ask"]
top = wait_for(lambda: next((w for app in pyatspi.Registry.getDesktop(0) if app is not None and app.get_process_id()
                             == pid for w in app if w is not None and w.name == "Hexlark"), None),
               "the window in the accessibility tree")
nodes = {node.name: node for node in pyatspi.findAllDescendants(top, lambda node: node.name)} | {"Hexlark": top}
box = nodes["MAC address"].queryText()
offsets = []
if ask:  # every question must be answered, none may hang the program
    Atspi.set_timeout(3000, 10000)
    questions = [(getattr(box, f"getText{n}Offset"), kind) for n in ("At", "Before", "After") for kind in range(7)]
    questions += [(lambda o, g: Atspi.Text.get_string_at_offset(nodes["MAC address"], o, g), kind) for kind in range(5)]
    for (question, kind), offset in itertools.product(questions, range(18)):
        try:
            question(offset, kind)
        except GLib.GError as error:
            if "reply" in str(error).lower():
                sys.exit(f"no answer at {offset}, {kind}: {error}")
    offsets = [[box.getTextAtOffset(offset, kind)[0] for kind in (pyatspi.TEXT_BOUNDARY_CHAR,
                pyatspi.TEXT_BOUNDARY_WORD_START, pyatspi.TEXT_BOUNDARY_LINE_START)] for offset in range(18)]
print(json.dumps({"text": box.getText(0, -1), "offsets": offsets,
                  "roles": {name: int(node.getRole()) for name, node in nodes.items()},
                  "descriptions": {name: node.description for name, node in nodes.items() if node != top},
                  "box states": [pyatspi.stateToString(s) for s in nodes["MAC address"].getState().getStates()]}))
