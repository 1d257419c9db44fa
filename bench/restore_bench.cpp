// restore_bench.exe: times the program's restore against the desktop it finds (under Wine, the
// stand-in desktop), with the list view's painting held as the program holds it or, for
// comparison, without; and the bare cost of as many LVM_SETITEMPOSITION requests with nothing
// else. A measurement for bench/wine_figures.sh, not a test.
//
//   restore_bench restore held|unheld <layout file>
//       runs the restore (the capture, the name reads, the moves) with that layout text and prints
//       "items=<n>" and "elapsed_us=<microseconds the restore took>"
//   restore_bench floor held|unheld
//       sends one LVM_SETITEMPOSITION per item, each to a place it is not at, inside the same
//       painting hold or none, and prints "items=<n>" and "elapsed_us=<microseconds>"
//
// "unheld" leaves out the requests that make the hold (WM_SETREDRAW and InvalidateRect): the
// program itself always holds painting; only this tool can drop it.
#include "DesktopRequest.h"
#include "ListViewDesktop.h"
#include "modPindrel.h"
#include "platform/native/NativeWindowsApi.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

using namespace pindrel;

namespace {

// The real WindowsApi, with the painting hold's requests dropped when `hold` is false.
class BenchApi final : public NativeWindowsApi {
  public:
    explicit BenchApi(bool hold) : hold_(hold) {}

    LRESULT SendMessageTimeoutA(Hwnd w, UINT m, WPARAM wp, LPARAM lp, UINT flags, UINT timeout,
                                std::uintptr_t* result) override {
        if (!hold_ && m == win::WM_SETREDRAW) {
            return 1;
        }
        return NativeWindowsApi::SendMessageTimeoutA(w, m, wp, lp, flags, timeout, result);
    }
    BOOL InvalidateRect(Hwnd w, const Rect* r, BOOL e) override {
        return hold_ ? NativeWindowsApi::InvalidateRect(w, r, e) : 1;
    }

  private:
    bool hold_;
};

// Microseconds on a steady clock.
double Now() {
    using Micros = std::chrono::duration<double, std::micro>;
    return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int Usage() {
    std::fprintf(stderr, "usage: restore_bench restore held|unheld <layout file> | "
                         "floor held|unheld\n");
    return 1;
}

int Restore(BenchApi& api, const char* layoutFile) {
    std::ifstream in(layoutFile, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "restore_bench: cannot read %s\n", layoutFile);
        return 3;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ProgramState state;
    state.startX = 400;
    state.startY = 300;
    state.deltaY = 20;
    const double start = Now();
    const modPindrel::RestoreReport report = modPindrel::RestoreLayout(api, state, text);
    const double elapsed = Now() - start;
    if (*report.transport == '\0') {
        std::fprintf(stderr, "restore_bench: no desktop list view found\n");
        return 2;
    }
    std::printf("items=%d\nfrom_file=%d\nelapsed_us=%.0f\n", report.items, report.fromFile,
                elapsed);
    return 0;
}

// Item i goes 3 pixels right of where it is, so that every request moves an item.
int Floor(BenchApi& api, bool hold) {
    const Hwnd listView = modPindrel::FindDesktopListView(api);
    if (listView == Hwnd{0}) {
        std::fprintf(stderr, "restore_bench: no desktop list view found\n");
        return 2;
    }
    ProgramState state;
    modPindrel::ListViewDesktop desktop(api, listView);
    const std::int32_t count = modPindrel::CapturePositions(desktop, state);
    const double start = Now();
    if (hold) {
        DesktopRequest(api, listView, win::WM_SETREDRAW, 0, 0);
    }
    for (std::int32_t i = 0; i < count; ++i) {
        const Point& p = state.positions[static_cast<std::size_t>(i)];
        modPindrel::SetItemPosition(api, listView, i, p.x + 3, p.y);
    }
    if (hold) {
        DesktopRequest(api, listView, win::WM_SETREDRAW, 1, 0);
        api.InvalidateRect(listView, nullptr, 1);
    }
    const double elapsed = Now() - start;
    std::printf("items=%d\nelapsed_us=%.0f\n", count, elapsed);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return Usage();
    }
    const std::string mode = argv[1], how = argv[2];
    if (how != "held" && how != "unheld") {
        return Usage();
    }
    BenchApi api(how == "held");
    if (mode == "restore" && argc == 4) {
        return Restore(api, argv[3]);
    }
    if (mode == "floor" && argc == 3) {
        return Floor(api, how == "held");
    }
    return Usage();
}
