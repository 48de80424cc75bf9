// The desktop program on a 100,000-record bipolar base, offscreen: opening it from the command
// line until the first screen is painted, beside the core's own load of the same file; one
// screen of scrolling, with the model's data() calls per visible cell.
#include <benchmark/benchmark.h>

#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "app/componentgrid.h"
#include "app/sdimain.h"
#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "gui_bench_support.h"

namespace {

constexpr int kRecords = 100000;

struct Fixture {
    QTemporaryDir dir;
    AppPaths paths;
    QString baseFile;
    veltris::Catalogue catalogue;

    Fixture()
    {
        copyCatalogues(dir.path());
        paths = AppPaths::inFolder(dir.path());
        writeSettings(paths, kPlainSettings);
        catalogue = veltris::loadCatalogues(dir.path().toStdString()).catalogue;

        veltris::ComponentBase base = veltris::makeEmptyBase(catalogue, "Type");
        veltris::Table& t = base.table;
        t.setRowCount(kRecords + 1);
        const char* samples[] = {"100", "1,5", "(5)", ">20", "0", "<0,25", "[12]", "3E-5"};
        for (int r = 1; r <= kRecords; ++r) {
            t.setCell(r, 0, "KT" + std::to_string(r));
            for (int c = 1; c < 30; ++c)
                t.setCell(r, c, samples[(r + c) % 8]);
            t.setCell(r, 14, "50-350");  // the one range column of bipolar transistors
            t.setCell(r, 30, std::to_string(r % 40));
        }
        baseFile = dir.filePath(QStringLiteral("big.QDB"));
        const veltris::Status st = veltris::writeBase(base, baseFile.toStdString());
        if (!st)
            qFatal("cannot write the base: %s", st.error().message.c_str());
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_CoreLoad(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        auto base = veltris::readBase(f.baseFile.toStdString(), f.catalogue);
        benchmark::DoNotOptimize(base.value().table.rowCount());
    }
}

void BM_OpenFirstScreen(benchmark::State& state)
{
    Fixture& f = fixture();
    SilentUi ui;
    quint64 dataCalls = 0;
    int visibleCells = 0;
    for (auto _ : state) {
        auto form = std::make_unique<TSDIAppForm>(f.paths, ui, QStringList{f.baseFile});
        form->show();
        const QImage first = form->grab().toImage();  // the whole first screen, painted
        benchmark::DoNotOptimize(first.constBits());
        state.PauseTiming();
        if (form->model1()->rowCount() != kRecords || ui.calls != 0)
            state.SkipWithError("the base did not open quietly");
        dataCalls = form->model1()->dataCalls() + form->model2()->dataCalls();
        ComponentGridView* g = form->stringGrid1();
        visibleCells = (g->viewport()->height() / g->rowHeight(0) + 1) *
                       (g->viewport()->width() / g->columnWidth(0) + 1);
        form.reset();
        state.ResumeTiming();
    }
    // Only what is painted is asked for: no measuring of columns over all rows.
    state.counters["dataCalls"] = static_cast<double>(dataCalls);
    state.counters["visibleCells"] = visibleCells;
}

void BM_ScrollOneScreen(benchmark::State& state)
{
    Fixture& f = fixture();
    SilentUi ui;
    TSDIAppForm form(f.paths, ui, {f.baseFile});
    form.show();
    ComponentGridView* g = form.stringGrid1();
    QScrollBar* bar = g->verticalScrollBar();
    const int visibleCells = (g->viewport()->height() / g->rowHeight(0) + 1) *
                             (g->viewport()->width() / g->columnWidth(0) + 1);
    quint64 calls = 0;
    std::int64_t screens = 0;
    for (auto _ : state) {
        if (bar->value() >= bar->maximum() - bar->pageStep())
            bar->setValue(0);
        form.model1()->resetDataCalls();
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        const QPixmap screen = g->viewport()->grab();  // paint the new screen now
        benchmark::DoNotOptimize(screen.cacheKey());
        calls += form.model1()->dataCalls();
        ++screens;
    }
    state.counters["dataCallsPerScreen"] = static_cast<double>(calls) / static_cast<double>(screens);
    state.counters["visibleCells"] = visibleCells;
    state.counters["callsPerVisibleCell"] =
        static_cast<double>(calls) / static_cast<double>(screens) / visibleCells;
}

}  // namespace

BENCHMARK(BM_CoreLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenFirstScreen)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScrollOneScreen)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    return runGuiBenchmarks(argc, argv);
}
