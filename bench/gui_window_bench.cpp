// The desktop program on a generated bipolar base, offscreen, each figure beside its baseline:
//   first_screen  `veltris BASE` until the first screen is painted, vs read + decode of the
//                 records (the core benchmark's baseline load)
//   sort_click    a right press on a numeric column's title until the grid is repainted, vs
//                 std::sort of the column's doubles
//   window_memory resident memory of the window with the base open and the second table showing
//                 all 30 columns, above the same window empty, vs file size + total text bytes
//   history_*     undo and redo (the menu's «Отменить», «Повторить») of a sort and of a delete,
//                 each beside the command itself (a right press on a title; F8), in a window of
//                 its own: every round does the command, undo and redo, timing only its part
//
//   gui_window_bench [--data=datasheet|random] [--records=N] [benchmark flags]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_data.h"
#include "core_ops.h"
#include "gui_bench_support.h"

namespace {

constexpr int kSortColumns[] = {3, 7};

struct Fixture {
    bench::DataChoice data;
    std::unique_ptr<ProgramFolder> folder;
    SilentUi ui;
    std::unique_ptr<MainWindow> window;   // with the base open, for the sorts
    std::unique_ptr<MainWindow> history;  // with the base open, for undo and redo
    std::size_t historyTurn = 0;
    std::vector<double> columns[2];
    double memoryAdded = 0;
    double memoryReference = 0;
};

Fixture g;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "bench: %s\n", what);
        std::exit(2);
    }
}

// Measured first, in a process that has shown no window yet.
void measureMemory()
{
    SilentUi ui;
    auto form = openWindow(*g.folder, ui, false);
    showAndPaintPage(*form, 1);
    const std::size_t empty = bench::residentBytes();
    check(openBase(*form, *g.folder) && shownRecords(*form) == g.data.records, "the base did not open");
    showAndPaintPage(*form, 1);
    const std::size_t open = bench::residentBytes();
    check(secondTableColumns(*form) == 30, "the second table does not show all 30 columns");
    g.memoryAdded = static_cast<double>(open) - static_cast<double>(empty);
    const bench::Base base = bench::loadBase(g.folder->fileBytes);
    g.memoryReference = static_cast<double>(g.folder->fileBytes.size() + bench::totalTextBytes(base));
    check(ui.calls == 0, "a message was shown");
}

void windowMemory(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::ClobberMemory();  // measured once, before every other figure
    state.counters["rss_MB"] = g.memoryAdded / 1e6;
    state.counters["reference_MB"] = g.memoryReference / 1e6;
    state.counters["ratio"] = g.memoryAdded / g.memoryReference;
}

void firstScreen(benchmark::State& state)
{
    SilentUi ui;
    for (auto _ : state) {
        auto form = openWindow(*g.folder, ui, true);
        const QImage first = form->grab().toImage();
        benchmark::DoNotOptimize(first.constBits());
        state.PauseTiming();
        if (shownRecords(*form) != g.data.records || ui.calls != 0)
            bench::skip(state, "the base did not open quietly");
        form.reset();
        state.ResumeTiming();
    }
}

void firstScreenBaseline(benchmark::State& state)
{
    const std::filesystem::path file = g.folder->baseFile.toStdString();
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::baselineLoad(file));
}

void sortClick(benchmark::State& state)
{
    std::size_t turn = 0;
    for (auto _ : state) {
        rightPressTitle(*g.window, kSortColumns[turn++ % 2]);
        const QImage grid = paintMainGrid(*g.window);
        benchmark::DoNotOptimize(grid.constBits());
    }
    if (g.ui.calls != 0)
        bench::skip(state, "a message was shown");
}

void sortBaseline(benchmark::State& state)
{
    bench::sortDoublesBaseline(state, g.columns);
}

// One round on the history window: the command, its undo, its redo, then undo again untimed,
// so every round starts from the same rows and the next command replaces the undone step (the
// history does not grow). Only `timed` is measured.
enum class Part {
    Command,
    Undo,
    Redo
};

void historyRound(benchmark::State& state, Part timed, void (*command)())
{
    MainWindow& form = *g.history;
    const auto part = [&state, timed](Part p, auto run) {
        if (p != timed)
            state.PauseTiming();
        run();
        if (p != timed)
            state.ResumeTiming();
    };
    for (auto _ : state) {
        part(Part::Command, command);
        part(Part::Undo, [&form] { undoStep(form); });
        part(Part::Redo, [&form] { redoStep(form); });
        state.PauseTiming();
        undoStep(form);
        state.ResumeTiming();
    }
    if (g.ui.calls != 0 || shownRecords(form) != g.data.records)
        bench::skip(state, "a message was shown, or the records did not come back");
}

void sortCommand()
{
    rightPressTitle(*g.history, kSortColumns[g.historyTurn++ % 2]);
}

void deleteCommand()
{
    deleteRecord(*g.history, g.data.records / 2);
}

void sortRound(benchmark::State& state, Part timed)
{
    historyRound(state, timed, sortCommand);
}

void deleteRound(benchmark::State& state, Part timed)
{
    historyRound(state, timed, deleteCommand);
}

void historySort(benchmark::State& state)
{
    sortRound(state, Part::Command);
}
void historySortUndo(benchmark::State& state)
{
    sortRound(state, Part::Undo);
}
void historySortRedo(benchmark::State& state)
{
    sortRound(state, Part::Redo);
}
void historyDelete(benchmark::State& state)
{
    deleteRound(state, Part::Command);
}
void historyDeleteUndo(benchmark::State& state)
{
    deleteRound(state, Part::Undo);
}
void historyDeleteRedo(benchmark::State& state)
{
    deleteRound(state, Part::Redo);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!bench::takeDataChoice(argc, argv, "gui_window_bench", g.data))
        return 2;
    const std::string& suffix = g.data.suffix;
    const auto add = [&suffix](const char* name, void (*fn)(benchmark::State&)) {
        return bench::withMinMax(benchmark::RegisterBenchmark((name + suffix).c_str(), fn))
            ->Unit(benchmark::kMillisecond);
    };
    add("first_screen", firstScreen);
    add("first_screen_baseline", firstScreenBaseline);
    add("sort_click", sortClick);
    add("sort_click_baseline", sortBaseline);
    add("window_memory", windowMemory)->Iterations(1)->Repetitions(1);
    add("history_sort", historySort);
    add("history_sort_undo", historySortUndo);
    add("history_sort_redo", historySortRedo);
    add("history_delete", historyDelete);
    add("history_delete_undo", historyDeleteUndo);
    add("history_delete_redo", historyDeleteRedo);
    return runGuiBenchmarks(
        argc, argv,
        [] {
            g.folder = std::make_unique<ProgramFolder>(g.data.kind, g.data.records);
            measureMemory();
            for (int i = 0; i < 2; ++i)
                g.columns[i] = bench::storedColumn(g.folder->fileBytes, kSortColumns[i]);
            g.window = openWindow(*g.folder, g.ui, true);
            check(shownRecords(*g.window) == g.data.records, "the base did not open");
            // The press must sort, or the figure would be a repaint alone.
            const auto firstRows = [] {
                QString texts;
                for (int r = 0; r < 20; ++r)
                    texts += shownText(*g.window, r, 1) + QLatin1Char('|');
                return texts;
            };
            const QString before = firstRows();
            rightPressTitle(*g.window, kSortColumns[0]);
            check(firstRows() != before, "a right press on the title did not sort");
            g.history = openWindow(*g.folder, g.ui, true);
            check(shownRecords(*g.history) == g.data.records, "the base did not open");
        },
        [] {
            g.history.reset();
            g.window.reset();
            g.folder.reset();
        });
}
