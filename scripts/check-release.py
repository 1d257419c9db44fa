#!/usr/bin/env python3
"""Checks the Windows release zip made by scripts/release.sh, without trusting how it was made.

    scripts/check-release.py build/release/pindrel-<version>-windows.zip

- the zip's name carries the version of the root CMakeLists.txt's project() line;
- it holds exactly README.txt, LICENSE.txt, SHA256SUMS, x64/pindrel.exe and x86/pindrel.exe,
  and every entry reads back intact;
- x64/pindrel.exe is a PE32+ executable for x86-64 (machine 0x8664), x86/pindrel.exe a PE32
  executable for i386 (machine 0x014c), and the version resource of each holds the project
  version;
- each executable holds exactly one application manifest (RT_MANIFEST id 1), read out of its
  resource tree as the loader reads it, and the manifest is well-formed XML in which
  - every processorArchitecture fits the executable's machine: amd64 for 0x8664, x86 for 0x014c,
    or * (the loader looks a dependency up for the architecture named, so a 64-bit program that
    asks for the x86 Common Controls does not start);
  - the dependencies name Microsoft.Windows.Common-Controls 6.0.0.0 with publicKeyToken
    6595b64144ccf1df;
  - windowsSettings makes the process per-monitor DPI aware (dpiAware true/pm or per monitor,
    dpiAwareness whose first known value is PerMonitorV2 or PerMonitor) and long-path aware
    (longPathAware true), each in the namespace Windows reads it from;
- SHA256SUMS lists every other file exactly once, with its SHA-256;
- README.txt is not empty, ends every line with CR LF and holds every row of README.md's
  exit-status table, in order;
- LICENSE.txt is LICENSE with CR LF line ends.
Prints each failure found and exits with 1 if there is any, else prints one line and exits 0.
"""
import hashlib
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zipfile
import zlib
from pathlib import Path

from pe_resources import Image, PeError

ROOT = Path(__file__).resolve().parent.parent
ENTRIES = {"README.txt", "LICENSE.txt", "SHA256SUMS", "x64/pindrel.exe", "x86/pindrel.exe"}
# Entry: (COFF machine, optional-header magic, what that is).
EXECUTABLES = {
    "x64/pindrel.exe": (0x8664, 0x20B, "PE32+ for x86-64"),
    "x86/pindrel.exe": (0x014C, 0x10B, "PE32 for i386"),
}
IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_DLL = 0x2000
RT_VERSION = 16
RT_MANIFEST = 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
# The processorArchitecture that fits each COFF machine ("*" fits every one).
MANIFEST_ARCHITECTURES = {0x8664: "amd64", 0x014C: "x86"}
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
SMI_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SMI_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
COMMON_CONTROLS = ("Microsoft.Windows.Common-Controls", "6.0.0.0", "6595b64144ccf1df")
# The values of dpiAwareness Windows knows; it takes the first of these the list holds.
DPI_AWARENESS_VALUES = {"unaware", "system", "permonitor", "permonitorv2"}


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"^\s*project\(\s*Pindrel\b[^)]*?\bVERSION\s+([0-9]+(?:\.[0-9]+)*)", text,
                      re.MULTILINE | re.IGNORECASE)
    return found.group(1) if found else None


def pe_problems(data, machine, magic, what):
    """What keeps data from being a Windows executable of this machine, or []."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return ["no MZ header"]
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if pe + 26 > len(data) or data[pe : pe + 4] != b"PE\0\0":
        return ["no PE signature where the MZ header points"]
    (found_machine,) = struct.unpack_from("<H", data, pe + 4)
    (characteristics,) = struct.unpack_from("<H", data, pe + 22)
    (found_magic,) = struct.unpack_from("<H", data, pe + 24)
    problems = []
    if (found_machine, found_magic) != (machine, magic):
        problems.append(f"machine 0x{found_machine:04x} with optional-header magic "
                        f"0x{found_magic:03x}, not {what} (0x{machine:04x}, 0x{magic:03x})")
    if not characteristics & IMAGE_FILE_EXECUTABLE_IMAGE or characteristics & IMAGE_FILE_DLL:
        problems.append(f"not an executable image (characteristics 0x{characteristics:04x})")
    return problems


def resource_version(resource):
    """The file version (major, minor, patch, build) in the fixed part of a VERSIONINFO resource's
    bytes, or None."""
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    # wLength, wValueLength, wType, the key, then VS_FIXEDFILEINFO aligned to 4 bytes.
    fixed = (6 + len(key) + 3) & ~3
    if len(resource) < fixed + 52 or resource[6 : 6 + len(key)] != key:
        return None
    signature, _, most, least = struct.unpack_from("<IIII", resource, fixed)
    if signature != 0xFEEF04BD:
        return None
    return (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


def collapse(text):
    return " ".join(text.split())


def exit_status_rows():
    """README.md's exit-status rows as 'status meaning', inline markup removed."""
    lines = (ROOT / "README.md").read_text(encoding="utf-8").splitlines()
    for i, line in enumerate(lines):
        if re.match(r"^\|\s*Status\s*\|", line):
            rows = []
            for row in lines[i + 2 :]:
                if not row.startswith("|"):
                    break
                cells = re.split(r"(?<!\\)\|", row.strip().strip("|"))
                text = re.sub(r"`([^`]*)`", r"\1", " ".join(cells))
                rows.append(collapse(re.sub(r"\*\*(.*?)\*\*", r"\1", text).replace("\\|", "|")))
            return rows
    return []


def check(path):
    problems = []
    version = project_version()
    named = re.fullmatch(r"pindrel-(.+)-windows\.zip", path.name)
    if version is None:
        problems.append("no project(Pindrel VERSION ...) line in CMakeLists.txt")
    elif not named or named.group(1) != version:
        problems.append(f"{path.name}: the name does not carry the project version {version}")
    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        if sorted(names) != sorted(ENTRIES):
            problems.append(f"entries {sorted(names)}, expected {sorted(ENTRIES)}")
        damaged = archive.testzip()
        if damaged:
            return problems + [f"{damaged}: damaged in the zip"]
        files = {name: archive.read(name) for name in names}
    return (problems + executable_problems(files, version or "0") + sums_problems(files) +
            readme_problems(files.get("README.txt", b"")) +
            licence_problems(files.get("LICENSE.txt", b"")))


def executable_problems(files, version):
    wanted = tuple(int(part) for part in version.split("."))
    wanted += (0,) * (4 - len(wanted))
    problems = []
    for name, (machine, magic, what) in EXECUTABLES.items():
        if name not in files:
            continue
        header = pe_problems(files[name], machine, magic, what)
        problems += [f"{name}: {problem}" for problem in header]
        if header:
            # Not the executable it should be: its resources would say nothing about the release.
            continue
        try:
            image = Image(files[name])
            resources = image.resources()
        except PeError as error:
            problems.append(f"{name}: the resources cannot be read: {error}")
            continue
        versions = [found.data for found in resources if found.kind == RT_VERSION]
        found = resource_version(versions[0]) if len(versions) == 1 else None
        if found != wanted:
            problems.append(f"{name}: version resource {found}, expected {wanted}")
        problems += [f"{name}: manifest: {problem}"
                     for problem in manifest_problems(image.machine, resources)]
    return problems


def manifest_problems(machine, resources):
    """What is wrong with the application manifest among the resources (pe_resources.Resource)
    of an executable for this COFF machine, or []."""
    manifests = [found for found in resources if found.kind == RT_MANIFEST]
    if len(manifests) != 1 or manifests[0].name != CREATEPROCESS_MANIFEST_RESOURCE_ID:
        found = ", ".join(f"id {each.name!r} language {each.language}" for each in manifests)
        return [f"{len(manifests)} RT_MANIFEST resources ({found or 'none'}), expected exactly "
                f"one, id {CREATEPROCESS_MANIFEST_RESOURCE_ID}"]
    try:
        # From the bytes, so that the XML declaration or a byte-order mark gives the encoding.
        root = ElementTree.fromstring(manifests[0].data)
    except ElementTree.ParseError as error:
        return [f"not well-formed XML ({error})"]
    if root.tag != ASM_V1 + "assembly":
        return [f"the root element is {root.tag}, not assembly in {ASM_V1}"]
    return (architecture_problems(machine, root) + common_controls_problems(root) +
            settings_problems(root))


def architecture_problems(machine, root):
    if machine not in MANIFEST_ARCHITECTURES:
        return [f"machine 0x{machine:04x} has no processorArchitecture known to this check"]
    fits = (MANIFEST_ARCHITECTURES[machine], "*")
    problems = []
    for element in root.iter():
        architecture = element.get("processorArchitecture")
        # Windows compares the architecture without regard to case.
        if architecture is not None and architecture.lower() not in fits:
            tag = element.tag.rpartition("}")[2]
            problems.append(f"processorArchitecture \"{architecture}\" of {tag} "
                            f"{element.get('name')} does not fit machine 0x{machine:04x} "
                            f"({' or '.join(fits)})")
    return problems


def common_controls_problems(root):
    name, version, token = COMMON_CONTROLS
    path = f"{ASM_V1}dependency/{ASM_V1}dependentAssembly/{ASM_V1}assemblyIdentity"
    named = [identity for identity in root.findall(path)
             if (identity.get("name") or "").lower() == name.lower()]
    if not named:
        return [f"no dependency on {name}"]
    for identity in named:
        if (identity.get("version") == version and (identity.get("type") or "").lower() == "win32"
                and (identity.get("publicKeyToken") or "").lower() == token):
            return []
    found = "; ".join(f"type {i.get('type')} version {i.get('version')} publicKeyToken "
                      f"{i.get('publicKeyToken')}" for i in named)
    return [f"the dependency on {name} is {found}, not type win32 version {version} "
            f"publicKeyToken {token}"]


def setting(root, namespace, tag):
    """The text of the windowsSettings entry namespace + tag, or None where there is none."""
    path = f"{ASM_V3}application/{ASM_V3}windowsSettings/{namespace}{tag}"
    found = root.find(path)
    return None if found is None else (found.text or "").strip()


def settings_problems(root):
    problems = []
    entries = {"dpiAware": (SMI_2005, "SMI/2005"), "dpiAwareness": (SMI_2016, "SMI/2016"),
               "longPathAware": (SMI_2016, "SMI/2016")}
    values = {}
    for tag, (namespace, short) in entries.items():
        values[tag] = setting(root, namespace, tag)
        if values[tag] is None:
            problems.append(f"no {tag} of the {short} WindowsSettings namespace in "
                            "application/windowsSettings")
    if values["dpiAware"] is not None and values["dpiAware"].lower() not in ("true/pm",
                                                                             "per monitor"):
        problems.append(f"dpiAware is '{values['dpiAware']}', not per-monitor (true/pm)")
    if values["dpiAwareness"] is not None:
        known = [value.strip().lower() for value in values["dpiAwareness"].split(",")
                 if value.strip().lower() in DPI_AWARENESS_VALUES]
        if not known or known[0] not in ("permonitorv2", "permonitor"):
            problems.append(f"dpiAwareness is '{values['dpiAwareness']}', which does not make "
                            "the process per-monitor aware (PerMonitorV2, PerMonitor)")
    if values["longPathAware"] is not None and values["longPathAware"].lower() != "true":
        problems.append(f"longPathAware is '{values['longPathAware']}', not true")
    return problems


def sums_problems(files):
    problems = []
    listed = set()
    lines = files.get("SHA256SUMS", b"").decode("ascii", "replace").split("\n")
    for number, line in enumerate(lines, 1):
        entry = re.fullmatch(r"([0-9a-f]{64}) [ *](.+)", line)
        if not entry:
            if line:
                problems.append(f"SHA256SUMS line {number}: not in sha256sum's format: {line!r}")
            continue
        digest, name = entry.groups()
        if name in listed:
            problems.append(f"SHA256SUMS: {name} listed twice")
        listed.add(name)
        if name not in files or name == "SHA256SUMS":
            problems.append(f"SHA256SUMS: {name} is not a file it should cover")
        elif hashlib.sha256(files[name]).hexdigest() != digest:
            problems.append(f"SHA256SUMS: the sum of {name} does not match")
    for name in sorted(set(files) - listed - {"SHA256SUMS"}):
        problems.append(f"SHA256SUMS: {name} is not listed")
    return problems


def readme_problems(readme):
    if not readme.strip():
        return ["README.txt: empty"]
    problems = []
    bare = readme.replace(b"\r\n", b"")
    if b"\n" in bare or b"\r" in bare or not readme.endswith(b"\r\n"):
        problems.append("README.txt: a line does not end with CR LF")
    text = collapse(readme.decode("utf-8-sig", "replace"))
    rows = exit_status_rows()
    if not rows:
        problems.append("README.md: no exit-status table (a table headed Status)")
    at = 0
    for row in rows:
        found = text.find(row, at)
        if found < 0:
            problems.append(f"README.txt: the exit-status row '{row}' is missing or out of order")
        else:
            at = found + len(row)
    return problems


def licence_problems(licence):
    original = (ROOT / "LICENSE").read_bytes().replace(b"\r\n", b"\n")
    if not licence.strip():
        return ["LICENSE.txt: empty"]
    if licence != original.replace(b"\n", b"\r\n"):
        return ["LICENSE.txt: not LICENSE with CR LF line ends"]
    return []


def main():
    if len(sys.argv) != 2:
        print("usage: scripts/check-release.py ZIP (exactly one zip)", file=sys.stderr)
        return 2
    path = Path(sys.argv[1])
    if not path.is_file():
        print(f"release check: {path}: no such file", file=sys.stderr)
        return 1
    try:
        problems = check(path)
    except (zipfile.BadZipFile, zlib.error, EOFError) as error:
        problems = [f"{path}: not a readable zip ({error})"]
    for problem in problems:
        print(f"release check: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"release check: {path} ({path.stat().st_size} bytes) is complete and consistent")
    return 0


if __name__ == "__main__":
    sys.exit(main())
