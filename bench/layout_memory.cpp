// Memory and time of a restore over a large layout file, on the simulated desktop with its files
// on disk. One size per run, so that the peak resident memory is this restore's own:
//
//   build/linux/bench/pindrel_layout_memory <megabytes> [lines|long|one]
//
// The file holds `megabytes` MB of lines that name no icon, in one of three shapes: short lines
// ("lines"), lines of 10 MB ("long"), or one single line without a line end ("one"); after them
// come the desktop's 50 icons. The restore has to read the whole file to find them. Prints the
// file's size, the time the restore took, MB per second, and the peak resident memory before
// and after the restore.
#include "LayoutFile.h"
#include "PeakRss.h"
#include "Utf.h"
#include "frmMain.h"
#include "modPindrel.h"
#include "platform/sim/HeadlessControls.h"
#include "platform/sim/SimSession.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace pindrel;

namespace {

// Writes the filler a block at a time, so that making the file costs no memory either.
void WriteFiller(std::ofstream& out, long long bytes, const std::string& shape) {
    const long long lineBytes = shape == "long" ? 10LL * 1000 * 1000 : shape == "one" ? bytes : 40;
    std::string block;
    long long inLine = 0;
    while (bytes > 0) {
        block.clear();
        while (block.size() < 1 << 20 && bytes > 0) {
            if (inLine + 2 >= lineBytes && shape != "one") {
                block += "\r\n";
                bytes -= 2;
                inLine = 0;
            } else {
                block += inLine == 0 ? '1' : inLine == 1 ? ',' : inLine == 2 ? '2' : 'f';
                --bytes;
                ++inLine;
            }
        }
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    if (shape == "one") {
        out << "\r\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <megabytes> [lines|long|one]\n", argv[0]);
        return 2;
    }
    const long long megabytes = std::atoll(argv[1]);
    const std::string shape = argc > 2 ? argv[2] : "lines";
    const auto root = std::filesystem::temp_directory_path() / "pindrel-layout-memory";
    std::filesystem::remove_all(root);
    constexpr int kIcons = 50;
    {
        sim::SimSession session(root);
        const sim::SimShell shell = session.CreateShell();
        for (int i = 0; i < kIcons; ++i) {
            session.AddItem(shell.listView, "Icon " + std::to_string(i), Point{0, 0});
        }
        const std::string path = Utf16ToUtf8(LayoutFilePath(session, u"USER1", u"DESK1"));
        {
            std::ofstream out(session.HostPath(path), std::ios::binary);
            WriteFiller(out, megabytes * 1000 * 1000, shape);
            for (int i = 0; i < kIcons; ++i) {
                out << i * 10 << "," << i * 20 << ",Icon " << i << "\r\n";
            }
        }
        const auto bytes = std::filesystem::file_size(session.HostPath(path));
        const double before = PeakRssMiB();
        ProgramState state;
        const auto start = std::chrono::steady_clock::now();
        const modPindrel::RestoreReport report = modPindrel::RestoreLayout(session, session, state);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double mb = static_cast<double>(bytes) / 1e6;
        std::printf("shape=%s file_MB=%.1f from_file=%d seconds=%.3f MB_per_s=%.1f "
                    "peak_rss_before_MiB=%.1f peak_rss_after_MiB=%.1f\n",
                    shape.c_str(), mb, report.fromFile, seconds, mb / seconds, before,
                    PeakRssMiB());
        if (report.fromFile != kIcons) {
            std::fprintf(stderr, "expected %d icons from the file\n", kIcons);
            return 1;
        }
    }
    std::filesystem::remove_all(root);
    return 0;
}
