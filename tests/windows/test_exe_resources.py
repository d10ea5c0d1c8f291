"""The Windows edition's executable, read back with pefile and with icoutils'
wrestool and icotool: its resources, icon, version record, manifest, heading
pictures and imports, against the design's values."""
import io
import os
import re
import xml.etree.ElementTree as ElementTree

import pefile
from PIL import Image

from harness import run

EXE = os.environ["HEXLARK_WINDOWS_EXE"]
PE = pefile.PE(EXE)
# Each resource's bytes by its type, name and language, in the order the executable holds them.
RESOURCES = {(kind.id, name.id, language.id): PE.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
             for kind in PE.DIRECTORY_ENTRY_RESOURCE.entries for name in kind.directory.entries
             for language in name.directory.entries}
WINDOWS_DLLS = {f"{name}.dll" for name in ("kernel32", "user32", "gdi32", "comctl32", "ole32", "msvcrt", "advapi32",
                                           "shell32", "oleaut32", "shcore", "windowscodecs")}


def test_resources_icon_group_and_headings(tmp_path):
    # The icon images, the headings, the icon group, the version record (U.S. English), the manifest.
    assert list(RESOURCES) == [(3, n, 0) for n in range(30001, 30006)] + [
        (10, 101, 0), (10, 102, 0), (14, 1, 0), (16, 1, 1033), (24, 1, 0)]
    (tmp_path / "group.ico").write_bytes(run(["wrestool", "-x", "--type=14", "--name=1", EXE]).stdout)
    images = run(["icotool", "-l", tmp_path / "group.ico"]).stdout.decode()
    assert re.findall(r"--width=(\d+) --height=(\d+) --bit-depth=(\d+)", images) == [
        ("24", "24", "4"), ("16", "16", "4"), ("24", "24", "8"), ("16", "16", "8"), ("64", "64", "32")]
    headings = [Image.open(io.BytesIO(RESOURCES[10, n, 0])) for n in (101, 102)]  # carried compressed
    assert [(image.format, image.size) for image in headings] == [("JPEG", (272, 135)), ("JPEG", (544, 270))]


def test_version_record():
    fixed = PE.VS_FIXEDFILEINFO[0]
    assert (fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS, fixed.FileOS,
            fixed.FileType) == (0x10000, 0, 0x10000, 0, 4, 1)  # 1.0.0.0, VOS__WINDOWS32, VFT_APP
    infos = {info.Key: info for info in PE.FileInfo[0]}
    [table], [var] = infos[b"StringFileInfo"].StringTable, infos[b"VarFileInfo"].Var
    assert (table.LangID, var.entry) == (b"040904B0", {b"Translation": "0x0409 0x04b0"})
    assert list(table.entries.items()) == [
        (b"Comments", b"Generates Random MAC Addresses"), (b"CompanyName", b"Vorrel"), (b"FileDescription", b"Hexlark"),
        (b"LegalTrademarks", b"Vorrel"), (b"ProductName", b"Hexlark by Quillmoth"), (b"FileVersion", b"1.00"),
        (b"ProductVersion", b"1.00"), (b"InternalName", b"Hexlark"), (b"OriginalFilename", b"Hexlark.exe")]


def test_manifest_asks_for_common_controls_6_and_per_monitor_dpi():
    manifest = ElementTree.fromstring(RESOURCES[24, 1, 0])
    found = {element.tag.split("}")[1]: element for element in manifest.iter()}
    controls = [e.attrib for e in manifest.iter() if e.attrib.get("name", "").endswith("Common-Controls")]
    assert [(c["version"], c["publicKeyToken"]) for c in controls] == [("6.0.0.0", "6595b64144ccf1df")]
    assert (found["dpiAware"].text, found["dpiAwareness"].text.split(",")[0]) == ("true/pm", "PerMonitorV2")


def test_stripped_small_without_timestamp_and_of_windows_own_dlls():
    dlls = {entry.dll.decode().lower() for entry in PE.DIRECTORY_ENTRY_IMPORT}
    assert {"kernel32.dll", "user32.dll"} <= dlls <= WINDOWS_DLLS and os.path.getsize(EXE) <= 300 * 1024
    debug = [section for section in PE.sections if section.Name.startswith(b".debug")]
    assert (PE.FILE_HEADER.PointerToSymbolTable, PE.FILE_HEADER.TimeDateStamp, debug) == (0, 0, [])
