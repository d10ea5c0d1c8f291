"""The real program on Wayland: Weston, shown in an X display whose keys and
pointer reach it."""
import os
import time

from PIL import Image, ImageFilter

from harness import ADDRESS, BOXES, CLIENT, colour_faults, edges, inset, run, wait_for


def longest_run(values):
    """The start and end (exclusive) of the longest run of non-zero values."""
    runs, start = [(0, 0, 0)], None
    for i, value in enumerate([*values, 0]):
        if value and start is None:
            start = i
        elif not value and start is not None:
            runs, start = runs + [(i - start, start, i)], None
    return max(runs)[1:]


def client_area(shot):
    """The window's black client area in a picture of Weston's output, as (left, top,
    width, height): the widest block of columns that hold black, then the tallest of
    rows there, less thin dark strokes such as the title's lettering. A pointer
    apart from the window (Debian 13's Weston draws it filled black) stays out."""
    black = Image.eval(shot, lambda v: 255 * (v <= 16)).convert("L").point(lambda v: 255 * (v == 255))
    black = black.filter(ImageFilter.MinFilter(5)).filter(ImageFilter.MaxFilter(5))
    left, right = longest_run(black.resize((black.width, 1), Image.BOX).getdata())
    top, bottom = longest_run(black.crop((left, 0, right, black.height)).resize((1, black.height),
                                                                             Image.BOX).getdata())
    return right > left and (left, top, right - left, bottom - top)


def test_wayland_shows_generates_copies_and_closes(x, weston):
    app = x.start([os.environ["HEXLARK_BINARY"]], env=weston.env)
    # Until Weston first paints, its whole output is one black area.
    area = wait_for(lambda: (lambda found: found and found[2:] != (640, 480) and found)(
        client_area(x.screenshot(weston.output))), "the window on Weston")
    (left, top), (width, height) = area[:2], CLIENT
    assert area[2:] == CLIENT
    shot = x.screenshot(weston.output)
    assert colour_faults(shot.crop((left, top, left + width, top + height))) == []

    # Qt's own title bar offers to maximize even a window of fixed size: the
    # window stays as it is, so does the button, and the next frame is drawn.
    run(["xdotool", "windowactivate", "--sync", weston.output], env=x.env)
    x.click(weston.output, left + width - 3, top + height - 3)
    away = ["xdotool", "mousemove", "--window", weston.output, "600", "400"]
    run(away, env=x.env)
    frame = (left - 3, top - 30, left + width + 3, top + height + 3)
    before = x.screenshot(weston.output).crop(frame)
    x.click(weston.output, left + width - 37, top - 15)
    run(away, env=x.env)
    time.sleep(1)
    assert x.screenshot(weston.output).crop(frame) == before, "maximize changed the window"
    # Nor is it resizable afterwards: a drag from the frame's lower right corner.
    run(["xdotool", "mousemove", "--window", weston.output, str(left + width + 1), str(top + height + 1),
         "mousedown", "1", *["sleep", "0.1", "mousemove_relative", "20", "20"] * 3, "mouseup", "1"], env=x.env)
    run(away, env=x.env)
    assert client_area(x.screenshot(weston.output))[2:] == CLIENT, "a drag resized the window"

    box = tuple(v + offset for v, offset in zip(edges(inset(BOXES["MAC address"], 4, 4)), (left, top) * 2))
    x.keys(weston.output, "alt+g")
    wait_for(lambda: x.screenshot(weston.output).crop(box) != shot.crop(box), "Alt+G redraws")
    x.keys(weston.output, "alt+c")
    assert ADDRESS.fullmatch(wait_for(weston.clipboard, "Alt+C copies"))

    cross = [(i, j) for i in range(left + width - 24, left + width + 8) for j in range(top - 40, top)
             if max(shot.getpixel((i, j))) <= 100]
    x.click(weston.output, sum(i for i, _ in cross) // len(cross),
            sum(j for _, j in cross) // len(cross))
    assert app.wait(15) == 0, open(app.log).read()
