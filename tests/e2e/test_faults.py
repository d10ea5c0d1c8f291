"""The real program when its display is missing, with what the toolkit warns of, and under strace."""
import glob
import os
import re
import shutil

import pytest

from harness import ADDRESS, run

# LeakSanitizer cannot run under ptrace (in the asan preset's build).
NO_LEAK_CHECK = lambda x: dict(x.env, ASAN_OPTIONS=x.env.get("ASAN_OPTIONS", "") + ":detect_leaks=0")


# The displays named in the environment (DISPLAY None: the test's own) and on the
# command line, and what the one line said must hold.
NOT_ANSWERING, OWN = {"DISPLAY": ":4093", "WAYLAND_DISPLAY": ":4093"}, {"DISPLAY": None}
WAYLAND = {"WAYLAND_DISPLAY": "wayland-0", "XDG_SESSION_TYPE": "wayland"}
CANNOT_SHOW = {
    "unset": ({}, [], b"(neither DISPLAY nor WAYLAND_DISPLAY is set)"),
    "empty": ({"DISPLAY": "", "WAYLAND_DISPLAY": ""}, [], b"(neither DISPLAY nor WAYLAND_DISPLAY is set)"),
    "not answering": (NOT_ANSWERING, [], b"cannot reach the display (DISPLAY=:4093, WAYLAND_DISPLAY=:4093)"),
    "-display not answering": (OWN, ["-display", ":4093"], b"cannot reach the display (-display :4093)"),
    "--display not answering": (OWN, ["--display", ":4093"], b"cannot reach the display (--display :4093)"),
    "no such platform": (OWN, ["-platform", "nonexistent"], b'platform plugin "nonexistent"'),
    "Wayland only, no qt6-wayland": (WAYLAND, [], b'"wayland" in "" (the Debian package qt6-wayland brings it)'),
}


@pytest.mark.parametrize("displays,args,said", CANNOT_SHOW.values(), ids=CANNOT_SHOW)
def test_window_that_cannot_be_shown_is_reported_in_one_line(x, displays, args, said):
    env = {k: v for k, v in x.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env |= {name: x.env[name] if value is None else value for name, value in displays.items()}
    program = os.environ["HEXLARK_BINARY"]
    if displays is WAYLAND:  # as installed without Recommends: every platform plugin but Wayland's, by qt.conf
        shutil.copytree(glob.glob("/usr/lib/*/qt6/plugins/platforms")[0], f"{x.tmp}/plugins/platforms",
                        ignore=shutil.ignore_patterns("*wayland*"))  # no namespace, which a chroot refuses a user
        with open(f"{x.tmp}/qt.conf", "w") as conf:
            conf.write(f"[Paths]\nPlugins={x.tmp}/plugins\n")
        program = shutil.copy(program, x.tmp)
    done = run([program, *args], env=env, check=False)
    assert (done.returncode, done.stderr.count(b"\n")) == (2, 1), done.stderr
    assert done.stderr.startswith(b"hexlark: ") and said in done.stderr, done.stderr


def test_failure_is_reported_in_a_box_and_a_line_and_ends_with_status_1(x):
    # The entropy source fails the program's seed; glibc and Qt have read theirs before it.
    app = x.hexlark(prefix=["strace", "-f", "-o", "/dev/null", "-e", "trace=getrandom", "-e",
                            "inject=getrandom:error=EIO:when=2"], env=NO_LEAK_CHECK(x))
    said = open(app.log).read()  # while the box is up: the terminal is told at once
    x.keys(app.window, "Return")  # the box's OK
    assert app.proc.wait(10) == 1
    assert re.fullmatch(r"hexlark: cannot read the system's entropy source \(getentropy\): .*\n", said)
    assert open(app.log).read() == said


CHANGES = re.compile(r"^\d+ +(creat|mkdir|rmdir|unlink|rename|link|symlink|truncate|chmod|chown|"
                     r"lchown|utime|mknod|setxattr|removexattr|open)\w*\((.*)", re.M)
WRITES = re.compile(r"O_(WRONLY|RDWR|CREAT|TRUNC|TMPFILE)")
PATHS = re.compile(r'(?:(?:\d+|AT_FDCWD)<([^>]*)>, )?"([^"]*)"')
# Local sockets only (the display's, the session bus's), and none listening.
NETWORK = re.compile(r"^\d+ +(socket\((?!AF_UNIX)|socketpair\((?!AF_UNIX)|listen\()", re.M)


def test_writes_nothing_uses_no_network_and_passes_on_the_toolkit_s_warnings_once_the_window_is_up(x):
    trace = f"{x.tmp}/trace.log"
    app = x.hexlark(prefix=["strace", "-f", "-y", "-s", "4096", "-e", "trace=%file,%network",
                            "-o", trace], cwd=x.env["HOME"],
                    env=dict(NO_LEAK_CHECK(x), QT_SCALE_FACTOR_ROUNDING_POLICY="Bogus"))
    assert ADDRESS.fullmatch(x.copied(app.window, "alt+g", "alt+c"))
    assert x.close(app) == 0, open(app.log).read()
    # Held while the program starts, then passed on.
    assert open(app.log).read().startswith("Unknown scale factor rounding policy: Bogus.")
    log = open(trace).read()
    assert log.count("openat(") > 50
    # Where the toolkit may keep what it needs while running: its runtime folder and caches.
    scratch = (f"{x.tmp}/runtime", f"{x.tmp}/cache")
    written = [f"{call}({args}" for call, args in CHANGES.findall(log)
               if (call != "open" or WRITES.search(args))
               and not all(os.path.join(folder, path).startswith(scratch)
                           for folder, path in PATHS.findall(args))]
    assert written == []
    assert NETWORK.findall(log) == []
    assert f"/tmp/.X11-unix/X{x.number}" in log
