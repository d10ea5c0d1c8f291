"""The Windows Installer package: its tables read with msitools; signing by
scripts/package-windows.sh with a throwaway certificate; and under Wine, in
the prefix of test_wine.py's fixture, a quiet install, the installed program,
an upgrade, a refused downgrade and a quiet uninstall."""
import glob
import os
import re
import sys

from harness import colour_faults, run
from test_wine import wine  # noqa: F401 (the fixture)

MSI = os.environ["HEXLARK_WINDOWS_MSI"]
HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAM = r"C:\Program Files\Hexlark\hexlark.exe"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
PRODUCTS = r"HKLM\Software\Classes\Installer\Products"
# Where Windows Installer registers a product; a key there named by a
# product, component or upgrade code belongs to one.
REGISTERED = [UNINSTALL, r"HKLM\Software\Classes\Installer",
              r"HKLM\Software\Microsoft\Windows\CurrentVersion\Installer"]
CODE = re.compile(r"\\(\{[0-9A-F-]{36}\}|[0-9A-F]{32})$", re.I)
ENTRY = {"DisplayName": "Hexlark", "Publisher": "Vorrel", "DisplayVersion": "1.0.0.0",
         "URLInfoAbout": "http://www.vorrel.example.com/hexlark/", "NoModify": "0x1",
         "NoRepair": "0x1"}
DOWNGRADE = ("A later version of [ProductName] is already installed. "
             "To install version [ProductVersion], uninstall that one first.")
SIGNER = "Subject: /CN=Hexlark Test Signer"


def table(name):
    """The rows of one of the package's tables, after msiinfo's three heading lines."""
    return [row.split("\t") for row in
            run(["msiinfo", "export", MSI, name]).stdout.decode().splitlines()[3:]]


def msiexec(wine, *args):
    return run(["wine", "msiexec", *args, "/qn"], timeout=120, env=wine.env, check=False).returncode


def registered(wine, root):
    """The keys under root named by a code, with their values: {key: {name: data}}."""
    found, values = {}, {}
    for line in wine.run("wine", "reg", "query", root, "/s", check=False).splitlines():
        if line.startswith("HKEY_"):
            values = found.setdefault(line, {}) if CODE.search(line) else {}
        elif line.strip():
            name, _, *data = line.strip().split("    ")
            values[name] = "".join(data)
    return found


def drive(wine, *path):
    return os.path.join(wine.x.tmp, "prefix", "drive_c", *path)


def files(wine):
    return {os.path.relpath(os.path.join(folder, name), drive(wine))
            for folder, folders, names in os.walk(drive(wine)) for name in folders + names}


def shortcuts(wine):
    # Wine's msiexec puts even an all-users shortcut in the user's Start menu.
    return glob.glob(drive(wine, "users", "*", "AppData", "Roaming", "Microsoft", "Windows",
                           "Start Menu", "Programs", "Hexlark*.lnk"))


def package(tmp_path, version, next_release):
    """The package as a build of another version would make it."""
    wxs = open(os.path.join(os.path.dirname(MSI), "hexlark.wxs"), encoding="utf-8").read()
    assert wxs.count('Version="1.0.0.0"') == 1 and wxs.count('"1.0.1"') == 2
    source = tmp_path / f"{version}.wxs"
    source.write_text(wxs.replace('Version="1.0.0.0"', f'Version="{version}"')
                      .replace('"1.0.1"', f'"{next_release}"'), encoding="utf-8")
    run(["wixl", "--arch", "x64", "--output", f"{source}.msi", str(source)],
        cwd=os.path.dirname(MSI), timeout=60)
    return f"{source}.msi"


def test_tables_install_for_all_users_on_64_bit_windows():
    properties = dict(table("Property"))
    assert properties["ALLUSERS"] == "1"
    assert properties["UpgradeCode"].upper() == "{C962C46F-B5B1-4932-9096-09C7CF4CCC5B}"
    assert [(row[1], row[2]) for row in table("Shortcut")] == [("ProgramMenuFolder", "Hexlark")]
    assert [row[1] for row in table("LaunchCondition")] == [DOWNGRADE]
    assert "Template: x64;1033\n" in run(["msiinfo", "suminfo", MSI]).stdout.decode()


def test_signed_program_and_package(wine, tmp_path):
    script = ["bash", os.path.join(HERE, "..", "..", "scripts", "package-windows.sh")]
    env = dict(os.environ, HEXLARK_WINDOWS_BUILD=os.path.dirname(os.path.dirname(MSI)))
    unsigned = run(script, env=env, timeout=300)
    assert unsigned.stdout.decode().splitlines()[-1] == MSI
    assert unsigned.stderr.decode().count("Not signed") == 1
    key, cert, pfx = (str(tmp_path / name) for name in ("key.pem", "cert.pem", "cert.pfx"))
    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
         "-subj", "/CN=Hexlark Test Signer", "-keyout", key, "-out", cert])
    run(["openssl", "pkcs12", "-export", "-in", cert, "-inkey", key, "-passout", "pass:throwaway",
         "-out", pfx])
    signed = run(script, timeout=300,
                 env=dict(env, HEXLARK_SIGN_PFX=pfx, HEXLARK_SIGN_PASSWORD="throwaway"))
    signed_msi = signed.stdout.decode().splitlines()[-1]
    run(["msiextract", "-C", str(tmp_path), signed_msi])
    program = str(tmp_path / "Hexlark" / "hexlark.exe")
    for path in (signed_msi, program):
        shown = run(["osslsigncode", "verify", "-CAfile", cert, "-in", path]).stdout.decode()
        assert SIGNER in shown, shown
    run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider",
         os.path.join(HERE, "test_exe_resources.py")],
        env=dict(os.environ, HEXLARK_WINDOWS_EXE=program), timeout=60)
    wine.start(program)
    assert wine.x.close(wine) == 0


def test_quiet_install(wine):
    wine.before = files(wine)
    assert msiexec(wine, "/i", MSI) == 0
    assert os.listdir(drive(wine, "Program Files", "Hexlark")) == ["hexlark.exe"]
    assert open(drive(wine, "Program Files", "Hexlark", "hexlark.exe"), "rb").read() == \
        open(os.environ["HEXLARK_WINDOWS_EXE"], "rb").read()
    [entry] = registered(wine, UNINSTALL).values()
    assert {name: entry.get(name) for name in ENTRY} == ENTRY
    [product] = registered(wine, PRODUCTS).values()
    icon = product["ProductIcon"]
    [shortcut] = shortcuts(wine)
    link = dict(re.findall(r"^\t(Local path|Working directory|Icon location)\t+: (.*)$",
                           run(["lnkinfo", shortcut]).stdout.decode(), re.M))
    assert link == {"Local path": PROGRAM, "Working directory": r"C:\Program Files\Hexlark" + "\\",
                    "Icon location": icon}
    # The program icon: the program's own, as advertised shortcuts need it.
    assert open(wine.run("wine", "winepath", "-u", icon), "rb").read() == \
        open(os.environ["HEXLARK_WINDOWS_EXE"], "rb").read()


def test_installed_program_starts(wine):
    wine.start(PROGRAM)
    assert colour_faults(wine.x.screenshot(wine.window)) == []
    assert wine.x.close(wine) == 0


def test_later_build_replaces_and_earlier_release_is_refused(wine, tmp_path):
    assert msiexec(wine, "/i", package(tmp_path, "1.0.0.1", "1.0.1")) == 0
    earlier = package(tmp_path, "0.9.0.0", "0.9.1")
    assert msiexec(wine, "/i", earlier) == 1603 % 256  # install failure, as a Unix status
    [entry] = registered(wine, UNINSTALL).values()
    assert entry["DisplayVersion"] == "1.0.0.1"
    assert os.listdir(drive(wine, "Program Files", "Hexlark")) == ["hexlark.exe"]
    assert len(shortcuts(wine)) == 1


def test_quiet_uninstall_leaves_nothing(wine):
    [key] = registered(wine, UNINSTALL)
    assert msiexec(wine, "/x", key.rsplit("\\", 1)[1]) == 0
    assert [key for root in REGISTERED for key in registered(wine, root)] == []
    # Windows Installer's own folder stays, as on Windows.
    assert files(wine) - wine.before <= {os.path.join("windows", "Installer")}
