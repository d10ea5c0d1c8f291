"""The Windows Installer package: its tables and notices; signing by package-windows.sh, and each way it
refuses to; under Wine (conftest.py), a quiet install into the default or a chosen folder, the installed
program, an upgrade, a refused downgrade and a quiet uninstall, the last three naming no folder."""
import http.server
import os
import re
import socket
import threading
import uuid

import pylnk
import pytest
from harness import HOMEPAGE, VERSION, run

MSI, EXE = os.environ["HEXLARK_WINDOWS_MSI"], os.environ["HEXLARK_WINDOWS_EXE"]
BUILD = os.path.dirname(os.path.dirname(MSI))
SCRIPT = ["bash", f"{os.path.dirname(os.path.abspath(__file__))}/../../scripts/package-windows.sh"]
# Every release's: a later package finds the installed one by it.
UPGRADE_CODE = "C962C46F-B5B1-4932-9096-09C7CF4CCC5B"
PRODUCT_CODE = str(uuid.uuid5(uuid.UUID(UPGRADE_CODE), VERSION)).upper()
MAJOR, MINOR, PATCH, TWEAK = map(int, VERSION.split("."))
# A later build of this release, and the next release as Windows Installer counts (three fields).
LATER, NEXT_RELEASE = f"{MAJOR}.{MINOR}.{PATCH}.{TWEAK + 1}", f"{MAJOR}.{MINOR}.{PATCH + 1}"
PASSWORD = "throwaway-7Qx2"
# Where Windows Installer registers a product, under keys named by its codes.
REGISTRY = [r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall",
            r"HKLM\Software\Microsoft\Windows\CurrentVersion\Installer", r"HKLM\Software\Classes\Installer"]
ENTRY = {"DisplayName": "Hexlark", "Publisher": "Vorrel", "DisplayVersion": VERSION, "NoModify": "0x1",
         "NoRepair": "0x1", "URLInfoAbout": HOMEPAGE}


def certificate(folder, since=None, usage="codeSigning", password=PASSWORD):
    """A throwaway self-signed certificate for a year from midnight of `since` (else now), as PEM
    and PKCS#12; made on a clock that stands still, for dates to the second however slow the run."""
    run([*(["faketime", "-f", f"{since} 00:00:00"] if since else []), *"openssl req -x509 -newkey ec -pkeyopt "
         "ec_paramgen_curve:P-256 -nodes -days 365 -subj /CN=Hexlark-Test -keyout key.pem -out cert.pem".split(),
         "-addext", f"extendedKeyUsage={usage}"], cwd=folder)
    run(["openssl", "pkcs12", "-export", *"-in cert.pem -inkey key.pem -out cert.pfx".split(), "-passout",
         f"pass:{password}"], cwd=folder)
    return str(folder / "cert.pfx")


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
                                        .replace(f'"{NEXT_RELEASE}"', f'"{next_release}"').replace(PRODUCT_CODE, "*"))
    run(["wixl", "--arch", "x64", "--output", f"{tmp_path}/{version}.msi", f"{tmp_path}/other.wxs"],
        cwd=os.path.dirname(MSI), timeout=60)
    return f"{tmp_path}/{version}.msi"


def test_tables_and_notices(tmp_path):
    properties = run(["msiinfo", "export", MSI, "Property"]).stdout.decode().splitlines()
    assert {"ALLUSERS\t1", "ProductLanguage\t1033", f"UpgradeCode\t{{{UPGRADE_CODE}}}",
            f"ProductCode\t{{{PRODUCT_CODE}}}"} <= set(properties)
    assert "Template: x64;1033\n" in run(["msiinfo", "suminfo", MSI]).stdout.decode()
    run(["msiextract", "-C", str(tmp_path), MSI])
    notices = (tmp_path / "Hexlark/notices.txt").read_bytes()  # Hexlark's, winpthreads' and GCC's, for Notepad
    assert [text for text in (b"Permission is hereby granted", b"Lockless Inc.", b"GCC Runtime Library Exception")
            if text not in notices] == [] and b"\n" not in notices.replace(b"\r\n", b"")


@pytest.fixture(scope="module")
def wine(wine):
    """One Wine session for the module, so that no command waits for Wine to start. Its
    services start with output to files: one on a command's pipe would keep it open."""
    wine.x.start([wine.SERVER, "-p"], env=wine.env)
    wine.x.start(["wine", "wineboot"], env=wine.env).wait(60)
    return wine


def test_signed_program_and_package_then_an_unsigned_run(tmp_path):
    unsigned = dict(os.environ, HEXLARK_WINDOWS_BUILD=BUILD)
    env = dict(unsigned, HEXLARK_SIGN_PFX=certificate(tmp_path), HEXLARK_SIGN_PASSWORD=PASSWORD)
    done = run(["strace", *"-f -qq -e trace=execve -s 200 -o".split(), f"{tmp_path}/started", *SCRIPT], env=env,
               timeout=300)
    # No command line, which every local user can read, holds the password.
    assert "osslsigncode" in (started := (tmp_path / "started").read_text()) and PASSWORD not in started
    signed = [done.stdout.decode().split()[-1], f"{tmp_path}/Hexlark/hexlark.exe"]
    run(["msiextract", "-C", str(tmp_path), signed[0]])
    for path in signed:
        shown = run(["osslsigncode", "verify", "-CAfile", f"{tmp_path}/cert.pem", "-in", path]).stdout.decode()
        shown = shown.replace("Subject: /", "Subject: ")  # as osslsigncode 2.5 writes a name; 2.14 writes none
        assert {"Subject: CN=Hexlark-Test", "Text description: Hexlark"} <= set(map(str.strip, shown.splitlines()))
    # Another program inside, another package to Windows Installer.
    assert len({re.search(r"Revision number \(UUID\): (.*)", run(["msiinfo", "suminfo", msi]).stdout.decode())[1]
                for msi in (MSI, signed[0])}) == 2
    assert run(SCRIPT, env=unsigned, timeout=300).stderr.decode().count("Not signed") == 1


# Each way a signing setup is refused: the certificate, the settings changed, the status,
# and words of the one line that says why.
REFUSED = {
    "expired": (dict(since="2019-06-01"), {}, 1, "expired on May 31 00:00:00 2020 GMT"),
    "not yet valid": (dict(since="2090-01-01"), {}, 1, "not valid before Jan  1 00:00:00 2090 GMT"),
    "not for code signing": (dict(usage="serverAuth"), {}, 1, "not for code signing"),
    "password unset": ({}, {"HEXLARK_SIGN_PASSWORD": None}, 1, "HEXLARK_SIGN_PASSWORD is not"),
    "file unset": ({}, {"HEXLARK_SIGN_PFX": None}, 1, "HEXLARK_SIGN_PFX names no certificate"),
    "timeout not a number": ({}, {"HEXLARK_SIGN_TIMEOUT": "ten"}, 1, "HEXLARK_SIGN_TIMEOUT is not a whole number"),
    "wrong password": ({}, {"HEXLARK_SIGN_PASSWORD": "wrong"}, 255, "wrong password"),
    "no file": ({}, {"HEXLARK_SIGN_PFX": "/nowhere/cert.pfx"}, 255, "no certificate file at /nowhere/cert.pfx"),
    # A certificate without a password gets as far as the timestamp, which never comes.
    "silent timestamp server": (dict(password=""), {"HEXLARK_SIGN_PASSWORD": "", "HEXLARK_SIGN_TIMEOUT": "2",
                                "HEXLARK_SIGN_TIMESTAMP": "http://127.0.0.1:{port}"}, 124, "did not answer within 2 s"),
    "timestamp server answers an error": ({}, {"HEXLARK_SIGN_TIMESTAMP": "http://127.0.0.1:{erring}"}, 1,
                                          "osslsigncode could not sign"),
    "build fails": ({}, {"HEXLARK_SIGN_PFX": None, "HEXLARK_SIGN_PASSWORD": None, "HEXLARK_WINDOWS_BUILD": "{tmp}"},
                    1, "the Windows edition did not build in"),
    # msitools' reader (a stand-in bash takes from the environment) fails on the built package,
    # as no check of the script's own foresees.
    "package unreadable": ({}, {"BASH_FUNC_msiinfo%%": "() {{ return 1; }}"}, 1, "ProductName"),
}


@pytest.mark.parametrize("made, changes, status, words", REFUSED.values(), ids=REFUSED)
def test_refused_signing_ends_in_one_line_and_leaves_nothing_signed(tmp_path, made, changes, status, words):
    silent = socket.create_server(("127.0.0.1", 0))  # accepts, and never answers
    erring = http.server.HTTPServer(("127.0.0.1", 0), http.server.BaseHTTPRequestHandler)  # 501 to each request
    threading.Thread(target=erring.serve_forever, daemon=True).start()
    # Another tree's build, in a folder the scripts made.
    (tmp_path / "CMakeCache.txt").write_text("CMAKE_HOME_DIRECTORY:INTERNAL=/nowhere\n")
    (tmp_path / ".made-by-hexlark-scripts").touch()
    where = dict(port=silent.getsockname()[1], erring=erring.server_port, tmp=tmp_path)
    env = dict(os.environ, HEXLARK_WINDOWS_BUILD=BUILD, HEXLARK_SIGN_PFX=certificate(tmp_path, **made),
               HEXLARK_SIGN_PASSWORD=PASSWORD) | {name: text and text.format(**where) for name, text in changes.items()}
    env = {name: text for name, text in env.items() if text is not None}
    os.makedirs(f"{env['HEXLARK_WINDOWS_BUILD']}/signed/hexlark.msi", exist_ok=True)  # from an earlier run
    done = run(SCRIPT, env=env, timeout=60, check=False)
    said = done.stderr.decode().splitlines()
    assert (done.returncode, done.stdout, [line for line in said if line.startswith("package-windows.sh: ")]) == (
        status, b"", said[-1:]) and words in said[-1]
    assert not os.path.exists(f"{env['HEXLARK_WINDOWS_BUILD']}/signed")


# A chosen folder's name without a space: Wine 10's msiexec quotes such a value
# twice in the command line it hands on, and refuses it (1639, invalid command line).
@pytest.mark.parametrize("chosen", [None, r"C:\Tools\Hexlark"])
def test_install_upgrade_and_uninstall_find_the_folder(wine, tmp_path, chosen):
    os.makedirs(f"{wine.x.tmp}/prefix/drive_c/Tools", exist_ok=True)  # as the user who chose has it
    folder, before = chosen or r"C:\Program Files\Hexlark", files(wine)
    program = rf"{folder}\hexlark.exe"
    assert msiexec(wine, "/i", MSI, *([f"INSTALLDIR={chosen}"] if chosen else [])) == 0
    [entry], [product] = registered(wine, "\\Uninstall\\"), registered(wine, "\\Installer\\Products\\")
    assert {name: value(wine, entry, name) for name in ENTRY} == ENTRY
    [link] = [name for name in files(wine) - before if name.endswith("Start Menu/Programs/Hexlark.lnk")]
    shortcut, icon = pylnk.file(), value(wine, product, "ProductIcon")
    shortcut.open(f"{wine.x.tmp}/prefix/drive_c/{link}")
    assert (shortcut.local_path, shortcut.working_directory, shortcut.icon_location) == (program, folder + "\\", icon)
    for copy in (program, icon):  # the program as it ships; its icon, as an advertised shortcut needs
        assert open(wine.run("wine", "winepath", "-u", copy), "rb").read() == open(EXE, "rb").read()
    wine.start(program)
    assert wine.x.close(wine) == 0
    # The later build, naming no folder: once, where the first went.
    assert msiexec(wine, "/i", package(tmp_path, LATER, NEXT_RELEASE)) == 0
    assert msiexec(wine, "/i", package(tmp_path, "0.9.0.0", "0.9.1")) == 1603 % 256  # as a Unix status
    [entry] = registered(wine, "\\Uninstall\\")
    assert value(wine, entry, "DisplayVersion") == LATER
    installed = folder[3:].replace("\\", "/")
    assert sorted(name for name in files(wine) if name.endswith(("hexlark.exe", "notices.txt"))
                  and "Installer" not in name) == [f"{installed}/hexlark.exe", f"{installed}/notices.txt"]
    assert msiexec(wine, "/x", entry.rsplit("\\", 1)[1]) == 0
    # Windows Installer's own folder stays, as it is there on Windows.
    assert registered(wine) == [] and files(wine) - before <= {"windows/Installer"} and "Vorrel" not in wine.run(
        "wine", "reg", "query", r"HKLM\Software")
