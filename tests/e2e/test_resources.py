"""What the program carries besides itself: the desktop entry and the
AppStream record, checked against the design's values. (The icon and the
version record are read from the Windows program, which alone carries them:
windows/test_exe_resources.py.)"""
import os
import re

from harness import APP_ID, HOMEPAGE, VERSION, run

BUILD = os.environ.get("HEXLARK_BUILD_DIR", "")


def test_desktop_entry_and_appstream_record_are_valid():
    entry = f"{BUILD}/resources/{APP_ID}.desktop"
    assert run(["desktop-file-validate", entry]).stdout == b""  # hints fail too
    assert {"Name=Hexlark", "Comment=Generates Random MAC Addresses", "Exec=hexlark",
            f"Icon={APP_ID}", "Type=Application",
            "Categories=Utility;"} <= set(open(entry).read().splitlines())
    record = f"{BUILD}/resources/{APP_ID}.metainfo.xml"
    notes = run(["appstreamcli", "validate", "--no-net", "--pedantic", record]).stdout
    # All but these fail: the id's capitals, a <developer> this AppStream does
    # not know yet, and the homepage's http.
    assert set(re.findall(rb"^([EWIP]): \S+ (.*)$", notes, re.M)) <= {
        (b"P", b"cid-contains-uppercase-letter " + APP_ID.encode()),
        (b"I", b"unknown-tag developer"),
        (b"I", b"url-not-secure " + HOMEPAGE.encode())}, notes
    text = open(record).read()
    assert "<project_license>MIT</project_license>" in text
    assert "<summary>Generates Random MAC Addresses</summary>" in text
    assert f'<release version="{VERSION}"' in text and f"<id>{APP_ID}</id>" in text
