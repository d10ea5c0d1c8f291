"""The Windows edition's executable, read back with icoutils' wrestool and
icotool and with pefile: its resources, icon, version record, manifest,
heading pictures and imports, against the design's values."""
import io
import os
import re
import xml.etree.ElementTree as ElementTree

import pefile
import pytest
from PIL import Image

from harness import run

# Type, name and language of each resource: the icon images, the headings, the
# icon group, the version record (U.S. English) and the manifest.
RESOURCES = [("3", str(n), "0") for n in range(30001, 30006)] + [
    ("10", "101", "0"), ("10", "102", "0"), ("14", "1", "0"), ("16", "1", "1033"), ("24", "1", "0")]
# The version record's string table, as designed.
STRINGS = [("Comments", "Generates Random MAC Addresses"), ("CompanyName", "Vorrel"), ("FileDescription", "Hexlark"),
           ("LegalTrademarks", "Vorrel"), ("ProductName", "Hexlark by Quillmoth"), ("FileVersion", "1.00"),
           ("ProductVersion", "1.00"), ("InternalName", "Hexlark"), ("OriginalFilename", "Hexlark.exe")]
WINDOWS_DLLS = {f"{name}.dll" for name in ("kernel32", "user32", "gdi32", "comctl32", "ole32", "msvcrt", "advapi32",
                                           "shell32", "oleaut32", "shcore", "windowscodecs")}
EXE = os.environ["HEXLARK_WINDOWS_EXE"]


@pytest.fixture(scope="module")
def pe():
    return pefile.PE(EXE)


def resource(kind, name, raw=True):
    """A resource's bytes; not raw, an icon group comes out as an .ico file."""
    return run(["wrestool", "-x", *["--raw"] * raw, f"--type={kind}", f"--name={name}", EXE]).stdout


def test_resources_and_the_icon_group_in_order(tmp_path):
    listed = run(["wrestool", "-l", EXE]).stdout.decode()
    assert re.findall(r"--type=(\d+) --name=(\d+) --language=(\d+)", listed) == RESOURCES
    (tmp_path / "group.ico").write_bytes(resource(14, 1, raw=False))
    images = run(["icotool", "-l", tmp_path / "group.ico"]).stdout.decode()
    assert re.findall(r"--width=(\d+) --height=(\d+) --bit-depth=(\d+)", images) == [
        ("24", "24", "4"), ("16", "16", "4"), ("24", "24", "8"), ("16", "16", "8"), ("64", "64", "32")]


def test_version_record(pe):
    fixed = pe.VS_FIXEDFILEINFO[0]
    assert [getattr(fixed, name) for name in ("FileVersionMS", "FileVersionLS", "ProductVersionMS", "ProductVersionLS",
            "FileFlagsMask", "FileFlags", "FileOS", "FileType", "FileSubtype", "FileDateMS", "FileDateLS")] == [
        0x10000, 0, 0x10000, 0, 0, 0, 4, 1, 0, 0, 0]
    infos = {info.Key: info for info in pe.FileInfo[0]}
    [table], [var] = infos[b"StringFileInfo"].StringTable, infos[b"VarFileInfo"].Var
    assert (table.LangID, var.entry) == (b"040904B0", {b"Translation": "0x0409 0x04b0"})
    assert [(k.decode(), v.decode()) for k, v in table.entries.items()] == STRINGS


def test_manifest_asks_for_common_controls_6_and_per_monitor_dpi():
    manifest = ElementTree.fromstring(resource(24, 1))
    found = {element.tag.split("}")[1]: element for element in manifest.iter()}
    controls = [e.attrib for e in manifest.iter() if e.attrib.get("name", "").endswith("Common-Controls")]
    assert [(c["version"], c["publicKeyToken"]) for c in controls] == [("6.0.0.0", "6595b64144ccf1df")]
    assert found["dpiAware"].text == "true/pm"
    assert found["dpiAwareness"].text.startswith("PerMonitorV2")


@pytest.mark.parametrize("resource_id,size", [(101, (272, 135)), (102, (544, 270))],
                         ids=["heading", "heading@2x"])
def test_heading_is_carried_compressed(resource_id, size):
    image = Image.open(io.BytesIO(resource(10, resource_id)))
    assert (image.format, image.size) == ("JPEG", size)


def test_imports_only_windows_own_dlls(pe):
    dlls = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    assert {"kernel32.dll", "user32.dll"} <= dlls <= WINDOWS_DLLS


def test_stripped_small_and_without_timestamp(pe):
    header = pe.FILE_HEADER
    assert os.path.getsize(EXE) <= 300 * 1024 and (header.PointerToSymbolTable, header.TimeDateStamp) == (0, 0)
    assert not [s for s in pe.sections if s.Name.startswith(b".debug")]
