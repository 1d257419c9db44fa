#!/usr/bin/env python3
"""Holds scripts/check-release.py to the manifest faults it is there to catch.

    scripts/check-release-test.py build/release/pindrel-<version>-windows.zip

Each scene takes the real release zip, rewrites the application manifest inside one executable
(in memory, byte for byte the same length, so the PE file stays valid), writes a zip with matching
SHA256SUMS and runs the whole check on it: the check must report exactly the fault that was made,
for the executable it was made in, and nothing else. The untouched zip must pass.
"""
import hashlib
import importlib.util
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from pe_resources import Image  # noqa: E402

SPEC = importlib.util.spec_from_file_location("check_release", HERE / "check-release.py")
check_release = importlib.util.module_from_spec(SPEC)
SPEC.loader.exec_module(check_release)

RELEASE = None  # the zip under test, from the command line
X64, X86 = "x64/pindrel.exe", "x86/pindrel.exe"
CONTROLS = "Microsoft.Windows.Common-Controls"


def manifest_of(exe):
    image = Image(exe)
    (found,) = [each for each in image.resources() if each.kind == check_release.RT_MANIFEST]
    return image, found


def edit_manifest(*edits):
    """An edit of an executable: each (old, new, count) replaces old, which the manifest must
    hold exactly count times, by new of the same length, inside the manifest resource only."""

    def edit(exe):
        image, manifest = manifest_of(exe)
        data = manifest.data
        for old, new, count in edits:
            assert len(old) == len(new), f"{old!r} and {new!r} differ in length"
            assert data.count(old) == count, f"the manifest holds {old!r} {data.count(old)} times"
            data = data.replace(old, new)
        start = image.offset(manifest.rva, len(data), "the manifest")
        return exe[:start] + data + exe[start + len(data) :]

    return edit


def renumber_manifest(new_id):
    """An edit of an executable: the manifest's id in the resource tree becomes new_id."""

    def edit(exe):
        image = Image(exe)
        out = bytearray(exe)
        root = image.offset(image.resource_rva, 16, "the resource root")
        named, numbered = struct.unpack_from("<HH", exe, root + 12)
        for index in range(named + numbered):
            kind, target = struct.unpack_from("<II", exe, root + 16 + 8 * index)
            if kind == check_release.RT_MANIFEST:
                names = image.offset(image.resource_rva + (target & 0x7FFFFFFF), 24, "the ids")
                # The one entry of the type's directory: its id, then its language directory.
                assert struct.unpack_from("<HH", exe, names + 12) == (0, 1)
                struct.pack_into("<I", out, names + 16, new_id)
                return bytes(out)
        raise AssertionError("no RT_MANIFEST type in the resource root")

    return edit


def arch(old, new):
    return f'processorArchitecture="{old}"'.encode(), f'processorArchitecture="{new}"'.encode()


def padded(old, new, count, after=b""):
    """(old + after, new + spaces + after, count): new padded with blanks to old's length."""
    return (old + after, new + b" " * (len(old) - len(new)) + after, count)


def read_release(path):
    with zipfile.ZipFile(path) as archive:
        return {name: archive.read(name) for name in archive.namelist()}


def write_release(files, folder, name):
    """A zip of files, named as the release is, with SHA256SUMS made again for them."""
    files = dict(files)
    files["SHA256SUMS"] = "".join(f"{hashlib.sha256(data).hexdigest()}  {entry}\n"
                                  for entry, data in files.items()
                                  if entry != "SHA256SUMS").encode()
    path = Path(folder) / name
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for entry, data in files.items():
            archive.writestr(entry, data)
    return path


class ManifestCheck(unittest.TestCase):
    def setUp(self):
        self.files = read_release(RELEASE)
        self.language = manifest_of(self.files[X64])[1].language
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def problems_after(self, entry, edit):
        files = dict(self.files)
        if edit:
            files[entry] = edit(files[entry])
        return check_release.check(write_release(files, self.folder.name, RELEASE.name))

    def test_each_fault_is_reported_for_its_executable_alone(self):
        x86_in_x64, amd64_in_x86 = arch("amd64", "x86"), arch("x86", "arm")
        fits = "fit machine 0x8664 (amd64 or *)"
        scenes = [
            ("untouched", X64, None, []),
            ("x64 names x86 for itself and Common Controls", X64,
             edit_manifest(padded(*x86_in_x64, 2)),
             [f'{X64}: manifest: processorArchitecture "x86" of assemblyIdentity Pindrel does '
              f"not {fits}",
              f'{X64}: manifest: processorArchitecture "x86" of assemblyIdentity {CONTROLS} '
              f"does not {fits}"]),
            ("x64 names x86 for Common Controls only", X64,
             edit_manifest(padded(*x86_in_x64, 1, after=b" publicKeyToken")),
             [f'{X64}: manifest: processorArchitecture "x86" of assemblyIdentity {CONTROLS} '
              f"does not {fits}"]),
            ("x86 names arm", X86, edit_manifest(amd64_in_x86 + (2,)),
             [f'{X86}: manifest: processorArchitecture "arm" of assemblyIdentity Pindrel does '
              "not fit machine 0x014c (x86 or *)",
              f'{X86}: manifest: processorArchitecture "arm" of assemblyIdentity {CONTROLS} '
              "does not fit machine 0x014c (x86 or *)"]),
            ("x64 names * and AMD64, which fit", X64,
             edit_manifest(padded(*arch("amd64", "*"), 1, after=b"/>"),
                           arch("amd64", "AMD64") + (1,)), []),
            ("not well-formed", X64, edit_manifest((b"</assembly>", b"</assemblx>", 1)),
             [f"{X64}: manifest: not well-formed XML (mismatched tag"]),
            ("no Common Controls dependency", X64,
             edit_manifest((b"<dependency>", b"<!--endency>", 1),
                           (b"</dependency>", b"</dependen-->", 1)),
             [f"{X64}: manifest: no dependency on {CONTROLS}"]),
            ("Common Controls 5.8", X64,
             edit_manifest((b'version="6.0.0.0"', b'version="5.8.0.0"', 1)),
             [f"{X64}: manifest: the dependency on {CONTROLS} is type win32 version 5.8.0.0 "
              "publicKeyToken 6595b64144ccf1df, not type win32 version 6.0.0.0 publicKeyToken "
              "6595b64144ccf1df"]),
            ("longPathAware outside the 2016 namespace", X86,
             edit_manifest((b'2016/WindowsSettings">true</longPathAware>',
                            b'2017/WindowsSettings">true</longPathAware>', 1)),
             [f"{X86}: manifest: no longPathAware of the SMI/2016 WindowsSettings namespace in "
              "application/windowsSettings"]),
            ("system DPI aware", X64,
             edit_manifest(padded(b">true/pm", b">true", 1, after=b"<"),
                           padded(b"PerMonitorV2, PerMonitor", b"System, PerMonitor", 1)),
             [f"{X64}: manifest: dpiAware is 'true', not per-monitor (true/pm)",
              f"{X64}: manifest: dpiAwareness is 'System, PerMonitor', which does not make the "
              "process per-monitor aware (PerMonitorV2, PerMonitor)"]),
            ("manifest under id 2", X64, renumber_manifest(2),
             [f"{X64}: manifest: 1 RT_MANIFEST resources (id 2 language {self.language}), "
              "expected exactly one, id 1"]),
        ]
        for name, entry, edit, expected in scenes:
            with self.subTest(name):
                found = self.problems_after(entry, edit)
                self.assertEqual(len(found), len(expected), found)
                for problem, start in zip(found, expected):
                    self.assertTrue(problem.startswith(start), f"{problem!r} is not {start!r}...")

    def test_exit_status_and_lines_of_the_command(self):
        script = HERE / "check-release.py"
        good = subprocess.run([sys.executable, script, RELEASE], capture_output=True, text=True)
        self.assertEqual((good.returncode, good.stderr), (0, ""), good.stdout)
        files = dict(self.files)
        files[X64] = edit_manifest(padded(*arch("amd64", "x86"), 2))(files[X64])
        path = write_release(files, self.folder.name, RELEASE.name)
        bad = subprocess.run([sys.executable, script, path], capture_output=True, text=True)
        self.assertEqual(bad.returncode, 1, bad.stdout)
        lines = bad.stderr.splitlines()
        self.assertEqual(len(lines), 2, bad.stderr)
        for line in lines:
            self.assertTrue(line.startswith(f"release check: {X64}: manifest: "
                                            'processorArchitecture "x86"'), line)


if __name__ == "__main__":
    if len(sys.argv) < 2 or not Path(sys.argv[1]).is_file():
        print("usage: scripts/check-release-test.py ZIP (the release zip to start from)",
              file=sys.stderr)
        sys.exit(2)
    RELEASE = Path(sys.argv.pop(1))
    unittest.main()
