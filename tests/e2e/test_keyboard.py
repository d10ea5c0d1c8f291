"""The real program driven from the keyboard as people do: access keys pressed
back to back. (Enter and Space on the focused button: test_orca.py.)"""
import pytest

from harness import run, wait_for


@pytest.mark.parametrize("theme", ["Qt's own", "GTK"])
def test_access_keys_back_to_back_run_one_handler_and_about_has_no_icon(x, theme):
    app = x.hexlark(env=x.gtk_desktop("DejaVu Sans 10") if theme == "GTK" else x.env)
    shown = x.copied(app.window, "alt+c")
    run(["xdotool", "key", "--delay", "30", "alt+a", "alt+g"], env=x.env)
    about = x.find("About")
    shot = x.screenshot(about)
    # Grey text and face, and a blue frame round the default button: nothing else.
    coloured = [p for p in shot.getdata() if max(p) - min(p) > 20 and not p[2] >= p[1] >= p[0]]
    assert coloured == [], f"an icon in the About box: {len(coloured)} coloured pixels"
    run(["xdotool", "key", "Return"], env=x.env)
    wait_for(lambda: not x.windows("About"), "Enter closes the box")
    assert x.copied(app.window, "alt+c") == shown
