"""The real program's clipboard on a busy X desktop: another program taking
the clipboard, and a clipboard manager keeping it once the program ends."""
from harness import ADDRESS, CENTRES, run, wait_for


def test_copy_outlasts_another_program_taking_the_clipboard_and_a_manager_keeps_it(x):
    app = x.hexlark()
    x.click(app.window, "MAC address")
    assert ADDRESS.fullmatch(shown := x.copied(app.window, "ctrl+a", "ctrl+c"))
    taker = x.start(["sh", "-c", "while :; do printf busy | xclip -i -selection clipboard; "
                     "sleep 0.05; done"], name="taker")
    run(["xdotool", "mousemove", "--window", app.window, *map(str, CENTRES["Copy"]), "click", "--repeat", "200",
         "--delay", "25", "1"], timeout=30, env=x.env)  # on Copy
    taker.terminate()
    x.keys(app.window, "alt+a")  # once every click before it is handled
    x.keys(x.find("About"), "Return")
    assert app.proc.poll() is None, open(app.log).read()
    # Then a clipboard manager, which the program finds when it ends, as the taker's churn is past.
    x.start(["xfsettingsd", "--no-daemon"])
    wait_for(lambda: x.xlib.get_selection_owner(x.xlib.intern_atom("CLIPBOARD_MANAGER")),
             "xfsettingsd manages the clipboard")
    assert x.copied(app.window, "alt+c") == shown
    assert x.close(app) == 0 and "clipboard manager" not in open(app.log).read(), open(app.log).read()
    assert wait_for(lambda: x.clipboard() == shown, "the manager serves the address")
