"""The Debian package as a user gets it: built by dpkg-buildpackage from this
tree (nocheck), installed with apt, its as-installed tests (debian/tests) run
by autopkgtest as Debian's CI runs them, then purged without a trace.
Installs with apt: root only."""
import os
import re
import shutil
import subprocess

import pytest

from harness import run

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEB = "hexlark_1.0.0.0_amd64.deb"
ICONS = "/usr/share/icons/hicolor"
APP_ID = "com.example.vorrel.Hexlark"
FILES = {
    "program": "/usr/bin/hexlark",
    "desktop entry": f"/usr/share/applications/{APP_ID}.desktop",
    "AppStream record": f"/usr/share/metainfo/{APP_ID}.metainfo.xml",
    "scalable icon": f"{ICONS}/scalable/apps/{APP_ID}.svg",
    **{f"{n} px icon": f"{ICONS}/{n}x{n}/apps/{APP_ID}.png" for n in (16, 24, 32, 48, 64, 128)},
    "manual page": "/usr/share/man/man1/hexlark.1.gz",
    "copyright": "/usr/share/doc/hexlark/copyright",
    "changelog": "/usr/share/doc/hexlark/changelog.gz",
}
FIELDS = {
    "Version": "1.0.0.0",
    "Maintainer": "Vorrel <hexlark@vorrel.example.com>",
    "Section": "utils",
    "Recommends": "qt6-wayland",
}


def installed():
    return subprocess.run(["dpkg-query", "-W", "hexlark"], capture_output=True).returncode == 0


@pytest.mark.skipif(os.geteuid() != 0, reason="installs with apt: needs root")
def test_package_installs_passes_its_tests_and_purges(tmp_path):
    if installed():
        pytest.skip("hexlark is installed already: this test would remove it")
    tree = tmp_path / "hexlark"
    shutil.copytree(SOURCE, tree, ignore=shutil.ignore_patterns("build", "obj-*", ".git"))
    run(["dpkg-buildpackage", "-us", "-uc", "-b"], timeout=600, cwd=tree,
        env=dict(os.environ, DEB_BUILD_OPTIONS="nocheck", DEB_BUILD_PROFILES="nocheck"))
    try:
        run(["apt-get", "install", "-y", "-q", str(tmp_path / DEB)], timeout=300)
        # On the package just installed: given the .deb itself, the null runner
        # would end by updating apt's lists from the network.
        summary = tmp_path / "summary"
        run(["autopkgtest", "--no-built-binaries", f"--summary={summary}", f"{tree}/", "--", "null"],
            timeout=300)
        assert re.fullmatch(r"smoke +PASS\n", summary.read_text()), summary.read_text()
        listed = run(["dpkg", "-L", "hexlark"]).stdout.decode().split()
        for row, path in FILES.items():
            assert path in listed and os.path.isfile(path), f"{row}: {path} not installed"
        for field, value in FIELDS.items():
            shown = run(["dpkg-query", "-W", f"-f=${{{field}}}", "hexlark"]).stdout.decode()
            assert shown == value, field
        dynamic = run(["readelf", "-d", FILES["program"]]).stdout.decode()
        assert "(RPATH)" not in dynamic and "(RUNPATH)" not in dynamic, dynamic
    finally:
        run(["apt-get", "purge", "-y", "-q", "hexlark"], timeout=300)
    left = [path for path in FILES.values() if os.path.exists(path)]
    assert left == [] and not os.path.exists("/usr/share/doc/hexlark"), f"left behind: {left}"
    assert not installed()
