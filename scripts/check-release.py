#!/usr/bin/env python3
"""Checks the Windows release zip made by scripts/release.sh, without trusting how it was made.

    scripts/check-release.py build/release/pindrel-<version>-windows.zip

- the zip's name carries the version of the root CMakeLists.txt's project() line;
- it holds exactly README.txt, LICENSE.txt, SHA256SUMS, x64/pindrel.exe and x86/pindrel.exe,
  and every entry reads back intact;
- x64/pindrel.exe is a PE32+ executable for x86-64 (machine 0x8664), x86/pindrel.exe a PE32
  executable for i386 (machine 0x014c), and the version resource of each holds the project
  version;
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
import zipfile
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
ENTRIES = {"README.txt", "LICENSE.txt", "SHA256SUMS", "x64/pindrel.exe", "x86/pindrel.exe"}
# Entry: (COFF machine, optional-header magic, what that is).
EXECUTABLES = {
    "x64/pindrel.exe": (0x8664, 0x20B, "PE32+ for x86-64"),
    "x86/pindrel.exe": (0x014C, 0x10B, "PE32 for i386"),
}
IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_DLL = 0x2000


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


def resource_version(data):
    """The file version (major, minor, patch, build) of the VERSIONINFO resource, or None."""
    key = data.find("VS_VERSION_INFO\0".encode("utf-16-le"))
    if key < 0:
        return None
    # The fixed part follows the key, aligned to 4 bytes within the resource (at most 4 bytes on).
    signature = data.find(struct.pack("<I", 0xFEEF04BD), key, key + 40)
    if signature < 0:
        return None
    most, least = struct.unpack_from("<II", data, signature + 8)
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
        found = resource_version(files[name])
        if found != wanted:
            problems.append(f"{name}: version resource {found}, expected {wanted}")
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
