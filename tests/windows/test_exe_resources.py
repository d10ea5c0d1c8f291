"""The Windows edition's executable, read back with pefile: its icon, version
record, manifest, heading pictures and imports, against the design's values."""
import io
import os
import struct
import xml.etree.ElementTree as ElementTree

import pefile
import pytest
from PIL import Image

RT_ICON, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 10, 14, 16, 24
KIB = 1024
ICONS = [  # id, width = height, bits per pixel, in the group's order
    (30001, 24, 4), (30002, 16, 4), (30003, 24, 8), (30004, 16, 8), (30005, 64, 32)]
STRINGS = [
    ("Comments", "Generates Random MAC Addresses"), ("CompanyName", "Vorrel"),
    ("FileDescription", "Hexlark"), ("LegalTrademarks", "Vorrel"),
    ("ProductName", "Hexlark by Quillmoth"), ("FileVersion", "1.00"),
    ("ProductVersion", "1.00"), ("InternalName", "Hexlark"),
    ("OriginalFilename", "Hexlark.exe")]
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "ole32.dll",
                "msvcrt.dll", "advapi32.dll", "shell32.dll", "oleaut32.dll", "shcore.dll",
                "windowscodecs.dll"}
EXE = os.environ["HEXLARK_WINDOWS_EXE"]


@pytest.fixture(scope="module")
def pe():
    return pefile.PE(EXE)


def resources(pe, kind):
    """{id: (language, sublanguage, bytes)} of one resource type."""
    found = {}
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if type_entry.id == kind:
            for entry in type_entry.directory.entries:
                for language in entry.directory.entries:
                    data = language.data.struct
                    found[entry.id] = (language.data.lang, language.data.sublang,
                                       pe.get_data(data.OffsetToData, data.Size))
    return found


def test_icon_group_lists_the_icons_in_order(pe):
    lang, sublang, group = resources(pe, RT_GROUP_ICON)[1]
    assert (lang, sublang) == (0, 0)
    assert struct.unpack_from("<HHH", group) == (0, 1, len(ICONS))
    entries = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(len(ICONS))]
    assert [(e[7], e[0], e[1], e[5]) for e in entries] == [(i, s, s, b) for i, s, b in ICONS]


@pytest.mark.parametrize("icon_id,size,bits", ICONS, ids=[str(i[0]) for i in ICONS])
def test_icon_image(pe, icon_id, size, bits):
    lang, sublang, image = resources(pe, RT_ICON)[icon_id]
    assert (lang, sublang) == (0, 0)
    _, width, height, _, bit_count = struct.unpack_from("<IiiHH", image)
    assert (width, height, bit_count) == (size, 2 * size, bits)  # height counts the mask


def test_version_record(pe):
    fixed = pe.VS_FIXEDFILEINFO[0]
    assert (fixed.FileVersionMS, fixed.FileVersionLS) == (0x10000, 0)
    assert (fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x10000, 0)
    assert (fixed.FileFlagsMask, fixed.FileFlags, fixed.FileOS, fixed.FileType,
            fixed.FileSubtype, fixed.FileDateMS, fixed.FileDateLS) == (0, 0, 4, 1, 0, 0, 0)
    infos = {info.Key: info for info in pe.FileInfo[0]}
    [table] = infos[b"StringFileInfo"].StringTable
    assert table.LangID == b"040904B0"
    assert [(k.decode(), v.decode()) for k, v in table.entries.items()] == STRINGS
    [var] = infos[b"VarFileInfo"].Var
    assert var.entry == {b"Translation": "0x0409 0x04b0"}
    assert [(lang, sub) for lang, sub, _ in resources(pe, RT_VERSION).values()] == [(9, 1)]


def test_manifest_asks_for_common_controls_6_and_per_monitor_dpi(pe):
    manifest = ElementTree.fromstring(resources(pe, RT_MANIFEST)[1][2])
    found = {element.tag.split("}")[1]: element for element in manifest.iter()}
    controls = [e.attrib for e in manifest.iter() if e.attrib.get("name", "").endswith(
        "Common-Controls")]
    assert [(c["version"], c["publicKeyToken"]) for c in controls] == [
        ("6.0.0.0", "6595b64144ccf1df")]
    assert found["dpiAware"].text == "true/pm"
    assert found["dpiAwareness"].text.startswith("PerMonitorV2")


@pytest.mark.parametrize("resource_id,size", [(101, (272, 135)), (102, (544, 270))],
                         ids=["heading", "heading@2x"])
def test_heading_is_carried_compressed(pe, resource_id, size):
    _, _, data = resources(pe, RT_RCDATA)[resource_id]
    image = Image.open(io.BytesIO(data))
    assert (image.format, image.size) == ("JPEG", size)


def test_imports_only_windows_own_dlls(pe):
    dlls = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    assert {"kernel32.dll", "user32.dll"} <= dlls <= WINDOWS_DLLS


def test_stripped_small_and_without_timestamp(pe):
    assert os.path.getsize(EXE) <= 300 * KIB
    assert pe.FILE_HEADER.PointerToSymbolTable == 0
    assert not [s for s in pe.sections if s.Name.startswith(b".debug")]
    assert pe.FILE_HEADER.TimeDateStamp == 0
