"""The Windows Installer package: its tables read with msitools; signing by
scripts/package-windows.sh with a throwaway certificate; and under Wine, in
the prefix of conftest.py's fixture, a quiet install, the installed program,
an upgrade, a refused downgrade and a quiet uninstall."""
import os
import re
import sys

import pytest
from harness import HOMEPAGE, VERSION, run

MSI, EXE = os.environ["HEXLARK_WINDOWS_MSI"], os.environ["HEXLARK_WINDOWS_EXE"]
HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAM = r"C:\Program Files\Hexlark\hexlark.exe"
# Where Windows Installer registers a product, under keys named by its codes.
REGISTRY = [r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall",
            r"HKLM\Software\Microsoft\Windows\CurrentVersion\Installer", r"HKLM\Software\Classes\Installer"]
ENTRY = {"DisplayName": "Hexlark", "Publisher": "Vorrel", "DisplayVersion": VERSION, "NoModify": "0x1",
         "NoRepair": "0x1", "URLInfoAbout": HOMEPAGE}


def msiexec(wine, *args):
    return run(["wine", "msiexec", *args, "/qn"], timeout=120, env=wine.env, check=False).returncode


def registered(wine, where="\\"):
    """The keys under REGISTRY named by a product's, component's or upgrade code."""
    return [line for key in REGISTRY for line in wine.run("wine", "reg", "query", key, "/s", check=False)
            .splitlines() if re.match(r"HKEY_.*\\(\{[0-9A-F-]{36}\}|[0-9A-F]{32})$", line) and where in line]


def value(wine, key, name):
    return wine.run("wine", "reg", "query", key, "/v", name).split("    ")[-1]


def files(wine, drive="prefix/drive_c"):
    return {os.path.relpath(f"{folder}/{name}", f"{wine.x.tmp}/{drive}")
            for folder, folders, names in os.walk(f"{wine.x.tmp}/{drive}") for name in folders + names}


def package(tmp_path, version, next_release):
    """The package as a build of another version would make it."""
    wxs = open(f"{os.path.dirname(MSI)}/hexlark.wxs", encoding="utf-8").read()
    (tmp_path / "other.wxs").write_text(wxs.replace(f'Version="{VERSION}"', f'Version="{version}"')
                                        .replace('"1.0.1"', f'"{next_release}"'), encoding="utf-8")
    run(["wixl", "--arch", "x64", "--output", f"{tmp_path}/{version}.msi", f"{tmp_path}/other.wxs"],
        cwd=os.path.dirname(MSI), timeout=60)
    return f"{tmp_path}/{version}.msi"


def test_tables_install_for_all_users_on_64_bit_windows():
    properties = run(["msiinfo", "export", MSI, "Property"]).stdout.decode().splitlines()
    assert {"ALLUSERS\t1", "UpgradeCode\t{C962C46F-B5B1-4932-9096-09C7CF4CCC5B}"} <= set(properties)
    assert "\tA later version of [ProductName] is already installed. To install version [ProductVersion], " \
        "uninstall that one first.\r\n" in run(["msiinfo", "export", MSI, "LaunchCondition"]).stdout.decode()
    assert "Template: x64;1033\n" in run(["msiinfo", "suminfo", MSI]).stdout.decode()


@pytest.fixture(scope="module", autouse=True)
def session(wine):
    """One Wine session for the module, so that no command waits for Wine to start. Its
    services start with output to files: one on a command's pipe would keep it open."""
    wine.x.start([wine.SERVER, "-p"], env=wine.env)
    wine.x.start(["wine", "wineboot"], env=wine.env).wait(60)


def test_signed_program_and_package(wine, tmp_path):
    script = ["bash", f"{HERE}/../../scripts/package-windows.sh"]
    env = dict(os.environ, HEXLARK_WINDOWS_BUILD=os.path.dirname(os.path.dirname(MSI)))
    assert run(script, env=env, timeout=300).stderr.decode().count("Not signed") == 1
    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Hexlark Test",
         "-keyout", "key.pem", "-out", "cert.pem"], cwd=tmp_path)
    run(["openssl", "pkcs12", "-export", "-in", "cert.pem", "-inkey", "key.pem",
         "-passout", "pass:throwaway", "-out", "cert.pfx"], cwd=tmp_path)
    env.update(HEXLARK_SIGN_PFX=f"{tmp_path}/cert.pfx", HEXLARK_SIGN_PASSWORD="throwaway")
    signed = [run(script, env=env, timeout=300).stdout.decode().split()[-1], f"{tmp_path}/Hexlark/hexlark.exe"]
    run(["msiextract", "-C", str(tmp_path), signed[0]])
    for path in signed:
        shown = run(["osslsigncode", "verify", "-CAfile", f"{tmp_path}/cert.pem", "-in", path])
        assert {"Subject: /CN=Hexlark Test", "Text description: Hexlark"} <= set(
            line.strip() for line in shown.stdout.decode().splitlines())
    run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider", f"{HERE}/test_exe_resources.py"],
        env=dict(os.environ, HEXLARK_WINDOWS_EXE=signed[1]), timeout=60)
    wine.start(signed[1])
    assert wine.x.close(wine) == 0


def test_quiet_install_and_the_installed_program(wine):
    wine.before = files(wine)
    assert msiexec(wine, "/i", MSI) == 0
    [entry], [product] = registered(wine, "\\Uninstall\\"), registered(wine, "\\Installer\\Products\\")
    assert {name: value(wine, entry, name) for name in ENTRY} == ENTRY
    [link] = [name for name in files(wine) - wine.before if name.endswith("Start Menu/Programs/Hexlark.lnk")]
    shown = run(["lnkinfo", f"{wine.x.tmp}/prefix/drive_c/{link}"]).stdout.decode()
    icon = value(wine, product, "ProductIcon")
    assert dict(re.findall(r"\t(Local path|Working directory|Icon location)\t+: (.*)", shown)) == {
        "Local path": PROGRAM, "Working directory": PROGRAM[:-len("hexlark.exe")], "Icon location": icon}
    for copy in (PROGRAM, icon):  # the program as it ships; its icon, as an advertised shortcut needs
        assert open(wine.run("wine", "winepath", "-u", copy), "rb").read() == open(EXE, "rb").read()
    wine.start(PROGRAM)
    assert wine.x.close(wine) == 0


def test_later_build_replaces_earlier_release_is_refused_and_uninstall_leaves_nothing(wine, tmp_path):
    assert msiexec(wine, "/i", package(tmp_path, "1.0.0.1", "1.0.1")) == 0
    assert msiexec(wine, "/i", package(tmp_path, "0.9.0.0", "0.9.1")) == 1603 % 256  # as a Unix status
    [entry] = registered(wine, "\\Uninstall\\")
    # The later build, once: its entry, program, shortcut and icon.
    assert value(wine, entry, "DisplayVersion") == "1.0.0.1"
    assert len([name for name in files(wine) if name.endswith((".lnk", "hexlark.exe"))]) == 3
    assert msiexec(wine, "/x", entry.rsplit("\\", 1)[1]) == 0
    # Windows Installer's own folder stays, as it is there on Windows.
    assert registered(wine) == [] and files(wine) - wine.before <= {"windows/Installer"}
