#!/usr/bin/env bash
# Makes the Windows release, build/release/pindrel-<version>-windows.zip, holding
#   x64/pindrel.exe   the 64-bit build (preset windows-x64)
#   x86/pindrel.exe   the 32-bit build (preset windows-x86)
#   README.txt        a short readme for Windows users, CR LF line ends; its tables of switches and
#                     exit statuses are taken from README.md's, so the two cannot drift apart
#   LICENSE.txt       LICENSE with CR LF line ends
#   SHA256SUMS        the SHA-256 of every other file, in sha256sum's format
# It builds pindrel.exe in both build folders first (configuring a folder that is not configured
# yet); what is up to date is not built again. The version is the one CMake wrote for the build
# from the root CMakeLists.txt's project() line. The same files give the same zip, byte for byte:
# entries in a fixed order, with fixed attributes and the time of the last commit
# (SOURCE_DATE_EPOCH, when set, instead).
#
#   scripts/release.sh [--x64 DIR] [--x86 DIR] [--out DIR]
#     defaults: build/windows-x64, build/windows-x86, build/release
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

x64_dir=build/windows-x64
x86_dir=build/windows-x86
out_dir=build/release
usage="usage: scripts/release.sh [--x64 DIR] [--x86 DIR] [--out DIR]"
while [ $# -gt 0 ]; do
    case $1 in
        --x64) x64_dir=${2:?$usage}; shift 2 ;;
        --x86) x86_dir=${2:?$usage}; shift 2 ;;
        --out) out_dir=${2:?$usage}; shift 2 ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done

scripts/setup.sh

# Builds pindrel.exe of one preset in its folder; shows the log only when something fails.
build() {
    local preset=$1 dir=$2
    local log="$dir/release-build.log"
    mkdir -p "$dir"
    if [ ! -f "$dir/CMakeCache.txt" ] && ! cmake --preset "$preset" -B "$dir" >"$log" 2>&1; then
        cat "$log" >&2
        echo "release: configuring $preset in $dir failed" >&2
        exit 1
    fi
    if ! cmake --build "$dir" --target pindrel -j2 >"$log" 2>&1; then
        grep -E -B2 -A8 'error|Error' "$log" | head -n 80 >&2
        echo "release: building pindrel.exe of $preset in $dir failed" >&2
        exit 1
    fi
}

# The version CMake wrote into the build's version header (the one in the executable's resource).
version_of() {
    local header="$1/src/platform/native/pindrel_version.h"
    sed -n 's/^#define PINDREL_VERSION_STRING "\(.*\)"$/\1/p' "$header"
}

echo "Building pindrel.exe (windows-x64 in $x64_dir, windows-x86 in $x86_dir)..."
build windows-x64 "$x64_dir"
build windows-x86 "$x86_dir"
version=$(version_of "$x64_dir")
if [ -z "$version" ] || [ "$version" != "$(version_of "$x86_dir")" ]; then
    echo "release: the builds disagree on the version ('$version', '$(version_of "$x86_dir")')" >&2
    exit 1
fi

epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}
mkdir -p "$out_dir"
python3 - "$out_dir" "$version" "$x64_dir/src/platform/native/pindrel.exe" \
    "$x86_dir/src/platform/native/pindrel.exe" "${epoch:-0}" <<'PYTHON'
import hashlib
import os
import re
import sys
import textwrap
import time
import zipfile
from pathlib import Path

out_dir, version, x64_exe, x86_exe, epoch = sys.argv[1:]
WIDTH = 78


def cells(line):
    """The cells of a Markdown table row, with inline markup removed."""
    parts = re.split(r"(?<!\\)\|", line.strip().strip("|"))
    return [plain(part.strip()) for part in parts]


def plain(text):
    text = re.sub(r"`([^`]*)`", r"\1", text)
    text = re.sub(r"\*\*(.*?)\*\*", r"\1", text)
    return text.replace("\\|", "|")


def table(markdown, first_heading):
    """The header and rows of README.md's table whose first column is headed so."""
    lines = markdown.splitlines()
    for i, line in enumerate(lines):
        if line.startswith("|") and cells(line)[0] == first_heading:
            rows = [cells(line)]
            for row in lines[i + 2 :]:
                if not row.startswith("|"):
                    break
                rows.append(cells(row))
            if len(rows) > 1:
                return rows
    sys.exit(f"release: README.md has no table with a first column headed '{first_heading}'")


def columns(rows):
    """Plain-text columns: all but the last padded to a common width, the last wrapped under
    itself; a rule under the header row."""
    rows = [rows[0], ["-" * len(cell) for cell in rows[0]]] + rows[1:]
    widths = [max(len(row[c]) for row in rows) + 2 for c in range(len(rows[0]) - 1)]
    lines = []
    for row in rows:
        lead = "".join(cell.ljust(width) for cell, width in zip(row, widths))
        lines += textwrap.wrap(row[-1], WIDTH, initial_indent=lead,
                               subsequent_indent=" " * len(lead), break_on_hyphens=False,
                               break_long_words=False) or [lead.rstrip()]
    return lines


def fill(*paragraphs):
    lines = []
    for paragraph in paragraphs:
        lines += textwrap.wrap(paragraph, WIDTH, break_on_hyphens=False) + [""]
    return lines


def bullets(*items):
    lines = []
    for item in items:
        lines += textwrap.wrap(item, WIDTH, initial_indent="- ", subsequent_indent="  ",
                               break_on_hyphens=False)
    return lines + [""]


def heading(text):
    return [text, "-" * len(text)]


markdown = Path("README.md").read_text(encoding="utf-8")
title = f"Pindrel {version}"
lines = [title, "=" * len(title), ""]
lines += fill(
    "Pindrel keeps the icons on your Windows desktop where you put them. It saves the position of "
    "every desktop icon to a plain text file - one file per user, computer and screen "
    "resolution - and puts the icons back from that file later. Icons the file does not know "
    "are laid out from a start point in fixed steps. It also switches the desktop between its "
    'view modes ("Icon", "List", "Report", "Small Icon").')
lines += heading("Which one to take")
lines += columns([["File", "For"],
                  ["x64\\pindrel.exe", "64-bit Windows, which is almost every Windows in use"],
                  ["x86\\pindrel.exe", "32-bit Windows; it also works on 64-bit Windows"]])
lines += [""] + fill(
    "Both read the same settings and layout files, so either can take over from the other.")
lines += heading("Installing")
lines += fill(
    "There is no installer. Copy the pindrel.exe for your Windows into a folder you can write "
    "to, for example C:\\Users\\<you>\\Pindrel: the layout files and the settings file are "
    "written beside it. To remove Pindrel, delete that folder.")
lines += heading("Using it")
lines += columns(table(markdown, "Command"))
lines += [""] + fill(
    "The switches are not case-sensitive; anything else opens the window. A typical use is a "
    "shortcut or a Task Scheduler task running pindrel.exe -r at log-on, or pindrel.exe -w "
    "started there to put the icons back by itself after every display change (pindrel.exe -q "
    "ends it). Under -s, -r, -w and -q Pindrel never shows a message box or waits for anyone: "
    "a failure ends the run with its exit status.")
lines += heading("Exit status of -s, -r, -w and -q")
lines += columns(table(markdown, "Status")) + [""]
lines += heading("Where the files go")
lines += fill("Both are beside pindrel.exe:")
lines += bullets(
    "<user>@<computer>@<width>x<height>.txt, the layout: one line per icon (x,y,name), one file "
    "per user, computer and screen resolution, for example USER1@DESK1@1920x1080.txt;",
    "pindrel.ini, the settings: the start point and steps for icons the layout does not know "
    "(for all users, or for one user on one computer) and the stored view mode.")
lines += heading("Checking the download")
lines += fill(
    "SHA256SUMS holds the SHA-256 of every other file in this zip. To check one, compare its "
    "line there with what Windows computes, for example with certutil -hashfile "
    "x64\\pindrel.exe SHA256 in a command prompt (elsewhere: sha256sum -c SHA256SUMS).",
    "Pindrel is under the MIT licence: see LICENSE.txt.")
readme = "\r\n".join(lines).rstrip("\r\n") + "\r\n"
# ASCII reads right in every Notepad; anything else gets a byte-order mark, without which old
# Notepads read the file in the ANSI code page.
readme_bytes = readme.encode("ascii") if readme.isascii() else readme.encode("utf-8-sig")

licence = Path("LICENSE").read_text(encoding="utf-8").replace("\r\n", "\n")
files = {
    "README.txt": readme_bytes,
    "LICENSE.txt": licence.replace("\n", "\r\n").encode("utf-8"),
    "x64/pindrel.exe": Path(x64_exe).read_bytes(),
    "x86/pindrel.exe": Path(x86_exe).read_bytes(),
}
files["SHA256SUMS"] = "".join(
    f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files.items()).encode()

# Zip times have no time zone and start in 1980.
stamp = max(time.gmtime(int(epoch or 0))[:6], (1980, 1, 1, 0, 0, 0))
name = f"pindrel-{version}-windows.zip"
target = Path(out_dir) / name
partial = target.with_suffix(".partial")
with zipfile.ZipFile(partial, "w") as archive:
    for entry in ["README.txt", "LICENSE.txt", "SHA256SUMS", "x64/pindrel.exe", "x86/pindrel.exe"]:
        info = zipfile.ZipInfo(entry, date_time=stamp)
        # rw-r--r-- for unzip on Unix in the high bits; the MS-DOS bits stay clear: a plain file.
        info.create_system = 3
        info.external_attr = 0o100644 << 16
        archive.writestr(info, files[entry], compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
os.replace(partial, target)
# Only the zip of the current version stays, so nothing stale is taken for it.
for old in Path(out_dir).glob("pindrel-*-windows.zip"):
    if old != target:
        old.unlink()
print(f"{target} ({target.stat().st_size} bytes):")
for entry in sorted(files):
    print(f"  {entry:18} {len(files[entry]):9} bytes")
PYTHON
