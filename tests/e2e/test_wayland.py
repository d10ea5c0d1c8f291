"""The real program on Wayland: Weston, shown in an X display whose keys and
pointer reach it."""
import os
import time

from PIL import Image, ImageFilter

from harness import ADDRESS, BOXES, CLIENT, colour_faults, inset, run, wait_for


def client_area(shot):
    """The window's black client area in a picture of Weston's output, as (left, top,
    width, height): the box round what stays black once every black stroke too thin
    to hold a square of 15 pixels is taken away, such as the title's lettering and
    the pointer (Debian 13's Weston draws it filled black)."""
    black = Image.eval(shot, lambda v: 255 * (v <= 16)).convert("L").point(lambda v: 255 * (v == 255))
    box = black.filter(ImageFilter.MinFilter(15)).filter(ImageFilter.MaxFilter(15)).getbbox()
    return box and (*box[:2], box[2] - box[0], box[3] - box[1])


def test_wayland_shows_generates_copies_and_closes(x):
    # Weston shown as a window on x (x11 backend), so keys pressed through XTEST and `import` screenshots reach it.
    # Qt 6.4's Wayland client leaks the globals it binds (asan preset only).
    env = {k: v for k, v in x.env.items() if k != "DISPLAY"} | {
        "WAYLAND_DISPLAY": "wayland-hexlark", "QT_QPA_PLATFORM": "wayland",
        "ASAN_OPTIONS": x.env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"}
    with open(f"{x.tmp}/weston.ini", "w") as ini:
        ini.write("[shell]\nbackground-color=0xff788cc8\npanel-position=none\n")
    # Weston follows the X pointer only once it has entered its window;
    # a pointer that starts inside leaves every click at Weston's (0, 0).
    run(["xdotool", "mousemove", "0", "0"], env=x.env)
    output = x.window(x.start(["weston", "--backend=x11-backend.so", "--use-pixman", "--width=640", "--height=480",
                               "--socket=wayland-hexlark", "--idle-time=0", f"--config={x.tmp}/weston.ini"]),
                      "--class", "^Weston Compositor$").window
    wait_for(lambda: os.path.exists(f"{x.env['XDG_RUNTIME_DIR']}/wayland-hexlark"), "weston's socket")
    app = x.start([os.environ["HEXLARK_BINARY"]], env=env)
    # Until Weston first paints, its whole output is one black area.
    area = wait_for(lambda: (lambda found: found and found[2:] != (640, 480) and found)(
        client_area(x.screenshot(output))), "the window on Weston")
    (left, top), (width, height) = area[:2], CLIENT
    assert area[2:] == CLIENT
    shot = x.screenshot(output)
    assert colour_faults(shot.crop((left, top, left + width, top + height))) == []

    # Qt's own title bar offers to maximize even a window of fixed size: the
    # window stays as it is, so does the button, and the next frame is drawn.
    run(["xdotool", "windowactivate", "--sync", output], env=x.env)
    corner = (left + width - 3, top + height - 3)  # black, where a click activates and does nothing else
    x.click(output, *corner)
    away = ["xdotool", "mousemove", "--window", output, "600", "400"]
    run(away, env=x.env)
    frame = (left - 3, top - 30, left + width + 3, top + height + 3)
    before = x.screenshot(output).crop(frame)
    x.click(output, left + width - 37, top - 15)
    run(away, env=x.env)
    time.sleep(1)
    assert x.screenshot(output).crop(frame) == before, "maximize changed the window"
    # Nor is it resizable afterwards: a drag from the frame's lower right corner.
    run(["xdotool", "mousemove", "--window", output, str(left + width + 1), str(top + height + 1),
         "mousedown", "1", *["sleep", "0.1", "mousemove_relative", "20", "20"] * 3, "mouseup", "1"], env=x.env)
    run(away, env=x.env)
    assert client_area(x.screenshot(output))[2:] == CLIENT, "a drag resized the window"

    box = tuple(v + offset for v, offset in zip(inset(BOXES["MAC address"], 4, 4), (left, top) * 2))
    x.keys(output, "alt+g")
    wait_for(lambda: x.screenshot(output).crop(box) != shot.crop(box), "Alt+G redraws")
    x.keys(output, "alt+c")
    assert ADDRESS.fullmatch(wait_for(lambda: run(["wl-paste", "--no-newline", "--type", "text/plain"], env=env,
                                                  check=False).stdout, "Alt+C copies"))

    # wl-paste takes the keyboard focus for a moment, and the window's title bar goes grey
    # till Weston gives it back, which on a busy machine it has not: a click on the window.
    x.click(output, *corner)

    def dark_at_the_close_button():
        now = x.screenshot(output)
        return [(i, j) for i in range(left + width - 24, left + width + 8) for j in range(top - 40, top)
                if max(now.getpixel((i, j))) <= 100]
    cross = wait_for(dark_at_the_close_button, "the close button's cross in Qt's title bar")
    x.click(output, *(sum(column) // len(cross) for column in zip(*cross)))
    assert app.wait(15) == 0, open(app.log).read()
