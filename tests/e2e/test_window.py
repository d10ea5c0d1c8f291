"""The real program on an X display with a window manager, as a user and a screen reader see it."""
import itertools
import json
import sys
import time

from harness import ADDRESS, colour_faults, default_buttons, run, wait_for

ACCESSIBLE = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1"}
ROLES = {"Hexlark": "frame", "Vorrel": "label", "Web address": "label", "MAC address": "text",
         "Generate": "push button", "Copy": "push button", "About": "push button"}


def screen_reader(x, app, press=""):
    """What a screen reader reads of the window, over AT-SPI, after pressing a button
    or, with press="ask", asking the address box every text question it can."""
    seen = run([sys.executable, __file__, str(app.proc.pid), press], timeout=120, env=x.env)
    return json.loads(seen.stdout)


def test_user_and_screen_reader_see_copy_the_shown_address(x):
    app = x.hexlark(env=dict(x.env, **ACCESSIBLE))
    assert x.geometry(app.window)[2:] == (273, 163)  # x.hexlark found it by its title
    shot = x.screenshot(app.window)
    assert colour_faults(shot) == [] and default_buttons(shot) == []

    seen = screen_reader(x, app, press="ask")
    assert seen["roles"] == ROLES
    assert "read only" in seen["box states"] and seen["default buttons"] == []
    shown = seen["text"].encode()
    assert ADDRESS.fullmatch(shown)
    # Moving through the address: each character, the octet or hyphen it is in, the
    # whole line; at the end, where the caret stands, the word and line just read.
    address = seen["text"]
    octets = [address[i - i % 3:i - i % 3 + 2] if i % 3 < 2 else "-" for i in range(17)]
    assert seen["offsets"] == [[c, w, address] for c, w in zip([*address, ""], [*octets, octets[-1]])]
    assert x.copied(app.window, "alt+c") == shown

    x.keys(app.window, "alt+g")
    generated = wait_for(lambda: screen_reader(x, app)["text"].encode() != shown
                         and screen_reader(x, app)["text"].encode(), "Alt+G shows a new address")
    assert ADDRESS.fullmatch(generated)
    x.click(app.window, "Copy")
    assert wait_for(lambda: x.clipboard() == generated, "a click on Copy copies")

    pressed = screen_reader(x, app, press="Generate")["text"].encode()
    assert pressed != generated and ADDRESS.fullmatch(pressed)
    screen_reader(x, app, press="Copy")
    assert wait_for(lambda: x.clipboard() == pressed, "the Copy action copies")
    assert x.close(app) == 0, open(app.log).read()


def probe(pid, press):
    import pyatspi  # pylint: disable=import-outside-toplevel
    from gi.repository import Atspi, GLib  # pylint: disable=import-outside-toplevel

    def window():
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.get_process_id() == pid:
                return next((w for w in application if w is not None and w.name == "Hexlark"), None)
        return None

    top = wait_for(window, "the window in the accessibility tree")
    nodes = {node.name: node for node in pyatspi.findAllDescendants(top, lambda node: node.name)}
    nodes["Hexlark"] = top
    box = nodes["MAC address"].queryText()
    before = box.getText(0, -1)
    offsets = []
    if press == "ask":  # every question must be answered, none may hang the program
        Atspi.set_timeout(3000, 10000)
        questions = [(getattr(box, name), 7) for name in (
            "getTextAtOffset", "getTextBeforeOffset", "getTextAfterOffset")]
        questions.append((lambda o, g: Atspi.Text.get_string_at_offset(nodes["MAC address"], o, g), 5))
        for (ask, kinds), offset in itertools.product(questions, range(18)):
            for kind in range(kinds):
                try:
                    ask(offset, kind)
                except GLib.GError as error:
                    if "reply" in str(error).lower():
                        sys.exit(f"no answer at {offset}, {kind}: {error}")
        offsets = [[box.getTextAtOffset(offset, kind)[0] for kind in (
            pyatspi.TEXT_BOUNDARY_CHAR, pyatspi.TEXT_BOUNDARY_WORD_START,
            pyatspi.TEXT_BOUNDARY_LINE_START)] for offset in range(18)]
    elif press:
        action = nodes[press].queryAction()
        names = [action.getName(i).lower() for i in range(action.nActions)]
        action.doAction(names.index("press"))
        deadline = time.monotonic() + 10
        while press == "Generate" and box.getText(0, -1) == before and time.monotonic() < deadline:
            time.sleep(0.05)
    print(json.dumps({"text": box.getText(0, -1), "offsets": offsets,
                      "roles": {name: node.getRoleName() for name, node in nodes.items()},
                      "box states": [pyatspi.stateToString(s)
                                     for s in nodes["MAC address"].getState().getStates()],
                      "default buttons": [name for name, node in nodes.items()
                                          if node.getState().contains(pyatspi.STATE_IS_DEFAULT)]}))


if __name__ == "__main__":
    probe(int(sys.argv[1]), sys.argv[2])
