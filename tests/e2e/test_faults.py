"""The real program when its display is missing or goes away, and under strace."""
import os
import re

import pytest

from harness import ADDRESS, run


def test_lost_display_ends_program_with_a_message(x):
    app = x.hexlark()
    x.server.kill()  # the display goes away at once
    assert app.proc.wait(10) > 0
    assert open(app.log).read().strip()


@pytest.mark.parametrize("display", [None, "", ":4093"], ids=["unset", "empty", "not answering"])
def test_no_display_is_reported(x, display):
    env = {k: v for k, v in x.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    if display is not None:
        env.update(DISPLAY=display, WAYLAND_DISPLAY=display)
    done = run([os.environ["HEXLARK_BINARY"]], env=env, check=False)
    assert done.returncode == 2
    # One plain line, naming the display it could not reach.
    assert done.stderr.count(b"\n") == 1 and b"display" in done.stderr, done.stderr
    assert display is None or display.encode() in done.stderr


CHANGES = re.compile(r"^\d+ +(creat|mkdir|rmdir|unlink|rename|link|symlink|truncate|chmod|chown|"
                     r"lchown|utime|mknod|setxattr|removexattr|open)\w*\((.*)", re.M)
WRITES = re.compile(r"O_(WRONLY|RDWR|CREAT|TRUNC|TMPFILE)")
PATHS = re.compile(r'(?:(?:\d+|AT_FDCWD)<([^>]*)>, )?"([^"]*)"')
SOCKETS = re.compile(r"^\d+ +(socket|socketpair|connect|bind|sendto|sendmsg|listen)\((.*)", re.M)


def test_writes_nothing_and_uses_no_network(x):
    trace = f"{x.tmp}/trace.log"
    # LeakSanitizer cannot run under ptrace (in the asan preset's build).
    app = x.hexlark(prefix=["strace", "-f", "-y", "-s", "4096", "-e", "trace=%file,%network,getrandom",
                            "-o", trace], cwd=x.env["HOME"],
                    env=dict(x.env, ASAN_OPTIONS=x.env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"))
    assert ADDRESS.fullmatch(x.copied(app.window, "alt+g", "alt+c"))
    assert x.close(app) == 0, open(app.log).read()
    log = open(trace).read()
    assert log.count("openat(") > 50
    # The generator's seed: 32 bytes of the entropy source, read 4 at a time.
    assert len(re.findall(r"getrandom\(.*, 4, 0\) = 4", log)) >= 8
    # Where the toolkit may keep what it needs while running: its runtime folder and caches.
    scratch = (f"{x.tmp}/runtime", f"{x.tmp}/cache")
    written = [f"{call}({args}" for call, args in CHANGES.findall(log)
               if (call != "open" or WRITES.search(args))
               and not all(os.path.join(folder, path).startswith(scratch)
                           for folder, path in PATHS.findall(args))]
    assert written == []
    allowed = {f"/tmp/.X11-unix/X{x.number}", f"@/tmp/.X11-unix/X{x.number}",
               re.sub(r"^unix:(abstract=|path=)([^,]*).*", lambda m: ("@" if m[1][0] == "a" else "") + m[2],
                      x.env["DBUS_SESSION_BUS_ADDRESS"])}
    reached = [(call, args) for call, args in SOCKETS.findall(log)
               if call in ("socket", "socketpair") and not args.startswith("AF_UNIX")
               or call == "listen"
               or call not in ("socket", "socketpair")
               and any(path not in allowed for path in unix_paths(args))]
    assert reached == []
    assert f"/tmp/.X11-unix/X{x.number}" in log


def unix_paths(args):
    families = re.findall(r"sa_family=(AF_\w+)(?:, sun_path=(@?)\"([^\"]*)\")?", args)
    return [family if family != "AF_UNIX" else at + path for family, at, path in families]
