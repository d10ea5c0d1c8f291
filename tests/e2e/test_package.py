"""The Debian package as a user gets it, as scripts/build-deb.sh built it from
this tree in HEXLARK_PACKAGE_DIR (CTest's debian_package): found clean by
lintian, installed with apt, then purged without a trace. (Its as-installed
tests, debian/tests, run in a fresh Debian root: debian_testbed_test.)
Installs with apt: as root or through sudo."""
import configparser
import os
import re

import pytest

from harness import APP_ID, VERSION, run

ICONS = "/usr/share/icons/hicolor"
# The program, its desktop entry, AppStream record, icons, manual page and documents.
FILES = ["/usr/bin/hexlark", f"/usr/share/applications/{APP_ID}.desktop",
         f"/usr/share/metainfo/{APP_ID}.metainfo.xml", f"{ICONS}/scalable/apps/{APP_ID}.svg",
         *(f"{ICONS}/{n}x{n}/apps/{APP_ID}.png" for n in (16, 24, 32, 48, 64, 128)),
         "/usr/share/man/man1/hexlark.1.gz", "/usr/share/doc/hexlark/copyright",
         "/usr/share/doc/hexlark/changelog.gz"]


# Installing takes root, or a user's sudo that asks no password, as the scripts' installing does.
AS_ROOT = [] if os.geteuid() == 0 else ["sudo", "-n"]


def test_package_installs_and_purges_without_a_trace():
    deb = f"{os.environ['HEXLARK_PACKAGE_DIR']}/hexlark_{VERSION}_amd64.deb"
    # Debian's own checks of a package, pedantic ones and the hardening it reports as information
    # too (shown only when asked for, and only then failed on): none may find anything.
    run(["lintian", "--pedantic", "--display-info", "--fail-on", "error,warning,info,pedantic", "--allow-root", deb],
        timeout=300)
    if AS_ROOT and run(["sh", "-c", "sudo -n true"], check=False).returncode != 0:
        pytest.skip("installs with apt: needs root or a sudo that asks no password")
    if run(["dpkg-query", "-W", "hexlark"], check=False).returncode == 0:
        pytest.skip("hexlark is installed already: this test would remove it")
    try:
        run([*AS_ROOT, "apt-get", "install", "-y", "-q", deb], timeout=300)
        listed = run(["dpkg", "-L", "hexlark"]).stdout.decode().split()
        assert [path for path in FILES if path not in listed or not os.path.isfile(path)] == []
        # The menu's icon: the entry's Icon= as the hicolor theme finds it, at each size installed.
        entry = configparser.ConfigParser(interpolation=None)
        entry.read(FILES[1], encoding="utf-8")
        icon = re.escape(entry["Desktop Entry"]["Icon"])
        assert {path for path in listed if re.fullmatch(rf"{ICONS}/[^/]+/apps/{icon}\.(png|svg)", path)} == {
            path for path in FILES if path.startswith(ICONS)}
        # The address's face (bold Courier New) is monospaced, and what brings it is kept while
        # Hexlark is installed: taking it away takes Hexlark too.
        face, spacing = run(["fc-match", "-f", "%{file}\n%{spacing}", "Courier New:bold"]).stdout.decode().split("\n")
        assert spacing == "100"  # FC_MONO
        font = run(["dpkg-query", "-S", face]).stdout.decode().split(":")[0]
        assert "Remv hexlark " in run(["apt-get", "-s", "remove", font]).stdout.decode()
        # Hardened: no search path of its own (lintian lets one from $ORIGIN pass) and its stack
        # protected, which lintian does not look at; lintian fails the rest (PIE, RELRO, BIND_NOW).
        elf = run(["readelf", "-dW", "--dyn-syms", FILES[0]]).stdout.decode()
        assert "(RPATH)" not in elf and "(RUNPATH)" not in elf and "__stack_chk_fail" in elf
    finally:
        run([*AS_ROOT, "apt-get", "purge", "-y", "-q", "hexlark"], timeout=300)
    assert [path for path in FILES + ["/usr/share/doc/hexlark"] if os.path.exists(path)] == []
