"""The real program driven from the keyboard as people do: Enter and Space on
the focused button, and access keys pressed back to back."""
import pytest

from harness import run, wait_for


@pytest.mark.parametrize("key", ["Return", "KP_Enter", "space"])
def test_enter_and_space_click_the_focused_button(x, key):
    app = x.hexlark()
    shown = x.copied(app.window, "alt+c")
    x.click(app.window, "Text1")  # Copy took the focus; back to the address box
    x.keys(app.window, "Tab", key)  # on Generate
    wait_for(lambda: x.copied(app.window, "alt+c") != shown, "a new address", 3)


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
