// The page "Поиск" over a generated bipolar base, offscreen: showing the page (name list sorted,
// selection grid filled, painted), one keystroke in the name field with the list painted, and
// "Применить" with 30 active rows up to the painted second table.
//
//   gui_search_bench [--data=datasheet|random] [--records=N] [benchmark flags]
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "bench_data.h"
#include "gui_bench_support.h"

namespace {

struct Fixture {
    bench::DataChoice data;
    std::unique_ptr<ProgramFolder> folder;
    SilentUi ui;
    std::unique_ptr<MainWindow> window;
};

Fixture g;

void showSearchPage(benchmark::State& state)
{
    for (auto _ : state) {
        g.window->pages()->setCurrentIndex(0);
        const QImage painted = showAndPaintPage(*g.window, 3);
        benchmark::DoNotOptimize(painted.constBits());
    }
    if (searchListNames(*g.window) != g.data.records)
        bench::skip(state, "the name list is not full");
}

// Each text one more or one less character than the one before, as typing goes.
void nameKeystroke(benchmark::State& state)
{
    showAndPaintPage(*g.window, 3);
    const QString texts[] = {QStringLiteral("К"),    QStringLiteral("КТ"),  QStringLiteral("КТ3"),
                             QStringLiteral("КТ31"), QStringLiteral("КТ3"), QStringLiteral("КТ"),
                             QStringLiteral("B"),    QStringLiteral("BC"),  QStringLiteral("BC5")};
    std::size_t i = 0;
    for (auto _ : state) {
        const QImage painted = typeNameAndPaint(*g.window, texts[i++ % std::size(texts)]);
        benchmark::DoNotOptimize(painted.constBits());
    }
}

void applyThirtyRows(benchmark::State& state)
{
    int shown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        clickThirtySelectionRows(*g.window, 90, 100);
        state.ResumeTiming();
        shown = applySelectionAndPaint(*g.window);
    }
    if (g.ui.calls != 0)
        bench::skip(state, "a message was shown");
    state.counters["shown"] = shown;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!bench::takeDataChoice(argc, argv, "gui_search_bench", g.data))
        return 2;
    const std::string& suffix = g.data.suffix;
    const auto add = [&suffix](const char* name, void (*fn)(benchmark::State&), benchmark::TimeUnit unit) {
        return bench::withMinMax(benchmark::RegisterBenchmark((name + suffix).c_str(), fn))->Unit(unit);
    };
    add("show_search_page", showSearchPage, benchmark::kMillisecond);
    add("name_keystroke", nameKeystroke, benchmark::kMillisecond);
    add("apply_30_rows", applyThirtyRows, benchmark::kMillisecond);
    return runGuiBenchmarks(
        argc, argv,
        [] {
            g.folder = std::make_unique<ProgramFolder>(g.data.kind, g.data.records);
            g.window = openWindow(*g.folder, g.ui, true);
            if (shownRecords(*g.window) != g.data.records) {
                std::fprintf(stderr, "bench: the base did not open\n");
                std::exit(2);
            }
        },
        [] {
            g.window.reset();
            g.folder.reset();
        });
}
