"""What the program carries besides itself: the desktop entry and the
AppStream record, read by freedesktop's and AppStream's own validators. (The
icon and the version record are read from the Windows program, which alone
carries them: windows/test_exe_resources.py.)"""
import os
import re

from harness import APP_ID, HOMEPAGE, run

BUILD = os.environ.get("HEXLARK_BUILD_DIR", "")


def test_desktop_entry_and_appstream_record_are_valid():
    assert run(["desktop-file-validate", f"{BUILD}/qt/desktop/{APP_ID}.desktop"]).stdout == b""  # hints fail too
    record = f"{BUILD}/qt/desktop/{APP_ID}.metainfo.xml"
    notes = run(["appstreamcli", "validate", "--no-net", "--pedantic", record]).stdout
    # All but these fail: the id's capitals, a <developer> that AppStream before
    # 1.0 (Debian 12's) does not know yet, and the homepage's http.
    assert set(re.findall(rb"^([EWIP]): \S+ (.*)$", notes, re.M)) <= {
        (b"P", b"cid-contains-uppercase-letter " + APP_ID.encode()), (b"I", b"unknown-tag developer"),
        (b"I", b"url-not-secure " + HOMEPAGE.encode())}, notes
