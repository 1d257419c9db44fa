// Speed of the save, the restore and the layout parser on the simulated desktop.
//
//   build/linux/bench/pindrel_bench
//
// Counters: "per_icon" is the time per icon, "requests/icon" the list-view requests
// (SendMessageTimeoutA calls) per icon, "lines_parsed/line" how many times the restore parsed each
// layout line.
#include "LayoutFile.h"
#include "LayoutLines.h"
#include "PeakRss.h"
#include "frmMain.h"
#include "modPindrel.h"
#include "platform/sim/HeadlessControls.h"
#include "platform/sim/SimSession.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

using namespace pindrel;

namespace {

struct Desk {
    explicit Desk(int icons, bool reversed = false)
        : root(std::filesystem::temp_directory_path() / "pindrel-bench"), session(Fresh(root)),
          form(session, session, controls) {
        session.CreateFolder("C:\\Tools");
        shell = session.CreateShell();
        for (int i = 0; i < icons; ++i) {
            const int index = reversed ? icons - 1 - i : i;
            session.AddItem(shell.listView, "Icon number " + std::to_string(index),
                            Point{(index % 30) * 75, (index / 30) * 75 % 30000});
        }
    }
    static std::filesystem::path Fresh(const std::filesystem::path& root) {
        std::filesystem::remove_all(root);
        return root;
    }
    std::filesystem::path root;
    sim::SimSession session;
    sim::HeadlessControls controls;
    frmMain form;
    sim::SimShell shell;
};

void BM_Save(benchmark::State& state) {
    const int icons = static_cast<int>(state.range(0));
    Desk desk(icons);
    int saves = 0;
    long long requests = 0;
    desk.session.ClearCalls();
    for (auto _ : state) {
        desk.form.cmdSave_Click();
        ++saves;
        // The session's call log is the simulation's, not the program's: keep it small.
        state.PauseTiming();
        requests += desk.session.CountCalls("SendMessageTimeoutA");
        desk.session.ClearCalls();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * icons);
    state.counters["requests/icon"] = static_cast<double>(requests) / (saves * icons);
    state.counters["per_icon"] =
        benchmark::Counter(static_cast<double>(state.iterations() * icons),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

void BM_Restore(benchmark::State& state) {
    const int icons = static_cast<int>(state.range(0));
    const bool reversed = state.range(1) != 0;
    // The layout file is written in index order; the desktop may show the icons the other way
    // round, which sends every icon but the first to the placement cursor.
    Desk saved(icons);
    saved.form.cmdSave_Click();
    const std::string layout = saved.session.FileBytes("C:\\Tools\\USER1@DESK1@1024x768.txt");
    Desk desk(icons, reversed);
    desk.session.WriteFileBytes("C:\\Tools\\USER1@DESK1@1024x768.txt", layout);
    desk.session.ClearCalls();
    long long parsed = 0;
    long long requests = 0;
    int restores = 0;
    for (auto _ : state) {
        const auto report =
            modPindrel::RestoreLayout(desk.session, desk.session, desk.form.state());
        parsed += report.linesParsed;
        ++restores;
        // The session's call log is the simulation's, not the program's: keep it small.
        state.PauseTiming();
        requests += desk.session.CountCalls("SendMessageTimeoutA");
        desk.session.ClearCalls();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * icons);
    state.counters["requests/icon"] = static_cast<double>(requests) / (restores * icons);
    state.counters["lines_parsed/line"] =
        static_cast<double>(parsed) / (static_cast<double>(restores) * (icons + 1));
    state.counters["per_icon"] =
        benchmark::Counter(static_cast<double>(state.iterations() * icons),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

void BM_ParseLayout(benchmark::State& state) {
    std::string text;
    for (int i = 0; text.size() < 10 * 1000 * 1000; ++i) {
        text +=
            FormatLayoutLine(i % 1920, -(i % 1080), "Some icon name, number " + std::to_string(i));
        text += "\r\n";
    }
    std::size_t candidates = 0;
    for (auto _ : state) {
        TextSource source(text);
        LayoutLines lines(source);
        LayoutEntry entry;
        while (lines.Next(entry)) {
            candidates += entry.candidate ? 1 : 0;
        }
        benchmark::DoNotOptimize(candidates);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(text.size()));
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

} // namespace

BENCHMARK(BM_Save)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Restore)
    ->Args({100, 0})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseLayout)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
