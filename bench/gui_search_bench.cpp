// The page "Поиск" over a 100,000-record bipolar base, offscreen: showing the page (name list
// sorted, selection grid filled, painted), one keystroke of incremental search, and
// "Применить" with 30 active rows up to the painted second table.
#include <benchmark/benchmark.h>

#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>

#include <memory>
#include <random>
#include <string>

#include "app/apputil.h"
#include "app/sdimain.h"
#include "gui_bench_support.h"
#include "search/searchpage.h"

namespace {

constexpr int kRecords = 100000;

struct Fixture {
    QTemporaryDir dir;
    AppPaths paths;
    SilentUi ui;
    std::unique_ptr<TSDIAppForm> form;

    Fixture()
    {
        copyCatalogues(dir.path());
        paths = AppPaths::inFolder(dir.path());
        writeSettings(paths, kPlainSettings);

        form = std::make_unique<TSDIAppForm>(paths, ui, QStringList{});
        veltris::Table& t = form->base().table;
        t.setRowCount(kRecords + 1);
        // Names in random order, Latin and Cyrillic, upper and lower case, some repeated.
        std::mt19937 rng(7);
        const std::string prefixes[] = {"KT", "kt", qStringToCp(QStringLiteral("КТ")),
                                        qStringToCp(QStringLiteral("кп")), "2N", "BC", "MJ", "TIP"};
        for (int r = 1; r <= kRecords; ++r) {
            t.setCell(r, 0, prefixes[rng() % 8] + std::to_string(rng() % 60000));
            for (int c = 1; c < 30; ++c)
                t.setCell(r, c, std::to_string(50 + rng() % 100));
            t.setCell(r, 30, std::to_string(r % 40));
        }
        form->base().secondColumnCount = 5;
        for (int k = 0; k < 4; ++k)
            form->base().viewMask[static_cast<size_t>(k)] = static_cast<std::uint8_t>(k + 1);
        form->refreshMainTable();
        form->rebuildSecondTable();
        form->show();
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_ShowSearchPage(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        f.form->pageControl()->setCurrentIndex(0);
        f.form->pageControl()->setCurrentIndex(3);
        const QImage painted = f.form->tabSheet(3)->grab().toImage();
        benchmark::DoNotOptimize(painted.constBits());
    }
    if (f.form->searchPage()->nameModel()->rowCount() != kRecords)
        state.SkipWithError("the name list is not full");
}

void BM_IncrementalSearchKey(benchmark::State& state)
{
    Fixture& f = fixture();
    f.form->pageControl()->setCurrentIndex(3);
    const QString texts[] = {QStringLiteral("K"), QStringLiteral("КТ12"), QStringLiteral("BC5"),
                             QStringLiteral("2N3055")};
    int i = 0;
    for (auto _ : state)
        f.form->LabeledEdit1Change(texts[i++ % 4]);
}

void BM_ApplyThirtyRows(benchmark::State& state)
{
    Fixture& f = fixture();
    std::int64_t selected = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.form->pageControl()->setCurrentIndex(3);
        f.form->searchPage()->spinEdit1()->setValue(90);
        f.form->searchPage()->spinEdit2()->setValue(100);
        for (int row = 1; row <= 30; ++row)
            f.form->StringGrid3MouseDown(row, 0);
        state.ResumeTiming();
        f.form->BitBtn2Click();
        const QImage painted = f.form->tabSheet(1)->grab().toImage();
        benchmark::DoNotOptimize(painted.constBits());
        selected = f.form->secondTable().rowCount() - 1;
    }
    if (f.ui.calls != 0)
        state.SkipWithError("a message was shown");
    state.counters["selected"] = static_cast<double>(selected);
}

}  // namespace

BENCHMARK(BM_ShowSearchPage)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_IncrementalSearchKey)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ApplyThirtyRows)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv)
{
    return runGuiBenchmarks(argc, argv, [] { fixture().form.reset(); });
}
