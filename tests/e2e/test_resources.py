"""What the program carries besides itself: the icon, the version record, the
desktop entry and the AppStream record, checked against the design's values."""
import os
import re

from harness import run

BUILD = os.environ.get("HEXLARK_BUILD_DIR", "")
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
APP_ID = "com.example.vorrel.Hexlark"


def test_icon_has_five_images_in_order():
    listed = run(["icotool", "-l", f"{SOURCE}/resources/hexlark.ico"]).stdout.decode()
    assert re.findall(r"--width=(\d+) --height=(\d+) --bit-depth=(\d+)", listed) == [
        ("24", "24", "4"), ("16", "16", "4"), ("24", "24", "8"), ("16", "16", "8"),
        ("64", "64", "32")]


def test_version_record():
    record = open(f"{BUILD}/resources/hexlark.rc").read()
    assert re.findall(r'VALUE "(\w+)", "([^"]*)"', record) == [
        ("Comments", "Generates Random MAC Addresses"), ("CompanyName", "Vorrel"),
        ("FileDescription", "Hexlark"), ("LegalTrademarks", "Vorrel"),
        ("ProductName", "Hexlark by Quillmoth"), ("FileVersion", "1.00"),
        ("ProductVersion", "1.00"), ("InternalName", "Hexlark"),
        ("OriginalFilename", "Hexlark.exe")]
    assert re.findall(r"^(\w+) (.+)$", record.split("VERSIONINFO")[1], re.M)[:7] == [
        ("FILEVERSION", "1,0,0,0"), ("PRODUCTVERSION", "1,0,0,0"), ("FILEFLAGSMASK", "0x0L"),
        ("FILEFLAGS", "0x0L"), ("FILEOS", "VOS__WINDOWS32"), ("FILETYPE", "VFT_APP"),
        ("FILESUBTYPE", "0x0L")]
    assert 'BLOCK "040904B0"' in record and '"Translation", 0x0409, 1200' in record


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
        (b"I", b"url-not-secure http://www.vorrel.example.com/hexlark/")}, notes
    text = open(record).read()
    assert "<project_license>MIT</project_license>" in text
    assert "<summary>Generates Random MAC Addresses</summary>" in text
    assert '<release version="1.0.0.0"' in text and f"<id>{APP_ID}</id>" in text
