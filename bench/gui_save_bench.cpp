// «Сохранить» of a very large base in the window, offscreen, beside the least work a save needs:
//   save_blocked          the longest stretch the window's event loop does not turn while the
//                         save runs, from the command until the loop has handled the report of
//                         its end: a timer asked to fire every millisecond notes each turn, and the
//                         figure is the widest gap between two turns (its time is that gap)
//   save_window           the whole round as the user waits for it: F8 on one record, then the
//                         command until the report of its end (wall time; CPU time of the whole
//                         process, worker included)
//   save_window_baseline  the same base encoded and its bytes written (temporary file,
//                         fdatasync, rename) in the same process, on this thread
// Every round first deletes a record (F8), as a user changes the base before saving, so the changes
// are unsaved and their recovery file is due a few seconds later, in the middle of a long save.
//
//   gui_save_bench [--data=datasheet|random] [--records=N] [benchmark flags]
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <benchmark/benchmark.h>

#include "bench_data.h"
#include "core_ops.h"
#include "gui_bench_support.h"

namespace {

struct Fixture {
    bench::DataChoice data;
    std::unique_ptr<ProgramFolder> folder;
    SilentUi ui;
    std::unique_ptr<MainWindow> window;
    int round = 0;
};

Fixture g;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "bench: %s\n", what);
        std::exit(2);
    }
}

struct SaveRound {
    double longestStallSeconds = 0;
    double wholeSeconds = 0;
    bool ok = false;
};

// A record deleted and «Сохранить» given; the event loop runs until the save has reported its end
// and the loop has turned once more after it.
SaveRound saveInWindow()
{
    deleteRecord(*g.window, 1 + (g.round++ * 7919) % (shownRecords(*g.window) - 1));
    SaveRound result;
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 lastTurn = 0;
    qint64 longest = 0;
    bool finished = false;
    QTimer turn;
    turn.setTimerType(Qt::PreciseTimer);
    turn.setInterval(1);
    QObject::connect(&turn, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTurn);
        lastTurn = now;
        if (finished)
            loop.quit();
    });
    const auto connection = onSaveFinished(*g.window, &loop, [&](bool ok) {
        result.wholeSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        result.ok = ok;
        finished = true;
    });
    clock.start();
    turn.start();
    saveFromMenu(*g.window);  // the command itself counts: the loop waits for it
    loop.exec();
    QObject::disconnect(connection);
    result.longestStallSeconds = static_cast<double>(longest) / 1e9;
    return result;
}

void saveBlocked(benchmark::State& state)
{
    for (auto _ : state) {
        const SaveRound round = saveInWindow();
        state.SetIterationTime(round.longestStallSeconds);
        if (!round.ok || g.ui.calls != 0)
            bench::skip(state, "the save failed or showed a message");
    }
}

void saveWindow(benchmark::State& state)
{
    for (auto _ : state) {
        const SaveRound round = saveInWindow();
        if (!round.ok || g.ui.calls != 0)
            bench::skip(state, "the save failed or showed a message");
    }
}

void saveBaseline(benchmark::State& state)
{
    const bench::Base& base = openBaseOf(*g.window);
    const bench::fs::path out = g.folder->dir.filePath(QStringLiteral("baseline.QDB")).toStdString();
    for (auto _ : state) {
        const std::string bytes = bench::saveBytes(base);
        bench::baselineSave(bytes, out);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (!bench::takeDataChoice(argc, argv, "gui_save_bench", g.data))
        return 2;
    const std::string& suffix = g.data.suffix;
    const auto add = [&suffix](const char* name, void (*fn)(benchmark::State&)) {
        // One save a repetition: a save of millions of records takes seconds.
        return bench::withMinMax(benchmark::RegisterBenchmark((name + suffix).c_str(), fn))
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    };
    add("save_blocked", saveBlocked)->UseManualTime();
    add("save_window", saveWindow)->UseRealTime()->MeasureProcessCPUTime();
    add("save_window_baseline", saveBaseline)->UseRealTime()->MeasureProcessCPUTime();
    return runGuiBenchmarks(
        argc, argv,
        [] {
            g.folder = std::make_unique<ProgramFolder>(g.data.kind, g.data.records);
            std::string().swap(g.folder->fileBytes);  // the window's base is all the rounds need
            g.window = openWindow(*g.folder, g.ui, true);
            check(shownRecords(*g.window) == g.data.records, "the base did not open");
            check(saveRunsInBackground(*g.window), "a save of this base would not run in the background");
        },
        [] {
            g.window.reset();
            g.folder.reset();
        });
}
