// The page «Замена» over a generated bipolar base, offscreen: «Найти замену» with the shipped
// rules from the click to the results painted, beside the least work the same search needs (the
// core finder alone with the same query, top 200); a rule changed in the rules table, which
// searches again at once, from the edit to the fresh results painted; and one keystroke in the
// name box with the list painted. Process CPU time, since the search runs on a worker thread.
//
//   gui_substitute_bench [--data=datasheet|random] [--records=N] [benchmark flags]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>

#include <benchmark/benchmark.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/navigatorcatalogue.h"
#include "bench_data.h"
#include "document/settingsfile.h"
#include "gui_bench_support.h"
#include "search/substitutepage.h"
#include "search/substituteresultsmodel.h"
#include "search/substituterulesmodel.h"

namespace {

struct Fixture {
    bench::DataChoice data;
    std::unique_ptr<ProgramFolder> folder;
    SilentUi ui;
    std::unique_ptr<SettingsFile> settings;
    veltris::CatalogueLoad catalogues;
    veltris::NavigatorCatalogue navigator;
    std::optional<veltris::ComponentBase> base;
    std::unique_ptr<SubstitutePage> page;
    veltris::FinderQuery query;  // the page's own, taken from its first search
};

Fixture g;

void runPageSearch()
{
    g.page->startSearch();
    while (g.page->isSearching())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void pageSearch(benchmark::State& state)
{
    std::size_t shown = 0;
    for (auto _ : state) {
        runPageSearch();
        const QImage painted = g.page->grab().toImage();
        benchmark::DoNotOptimize(painted.constBits());
        shown = static_cast<std::size_t>(g.page->resultsModel()->rowCount());
    }
    if (g.ui.calls != 0)
        bench::skip(state, "a message was shown");
    state.counters["shown"] = static_cast<double>(shown);
}

void coreSearch(benchmark::State& state)
{
    std::size_t found = 0;
    for (auto _ : state) {
        const veltris::FinderReport r = veltris::findInBase(
            g.query, *g.base, g.folder->baseFile.toStdString(), {}, true);  // as the page does
        found = r.matches.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["shown"] = static_cast<double>(found);
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Uкэ's tolerance −10 % and −11 % in turn, as the user types it into the rules table: the page
// saves the rule and searches again at once. Counters, per change: `gui_cpu_ms` the GUI
// thread's own CPU time (the edit, the results taken in, the paint: what typing could wait for,
// the search itself runs on the worker), `edit_ms` the wall time until the edit returns,
// `painted_ms` the wall time until the fresh results are painted.
void ruleChange(benchmark::State& state)
{
    SubstituteRulesModel* rules = g.page->rulesModel();
    const QModelIndex tolerance = rules->index(1, SubstituteRulesModel::MinusColumn);
    int percent = rules->data(tolerance, Qt::EditRole).toInt();
    double guiCpu = 0, edit = 0, painted = 0;
    std::size_t shown = 0;
    for (auto _ : state) {
        percent = percent == 10 ? 11 : 10;
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = threadCpuMs();
        rules->setData(tolerance, percent, Qt::EditRole);
        edit += static_cast<double>(wall.nsecsElapsed()) / 1e6;
        while (g.page->isSearching())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const QImage image = g.page->grab().toImage();
        benchmark::DoNotOptimize(image.constBits());
        painted += static_cast<double>(wall.nsecsElapsed()) / 1e6;
        guiCpu += threadCpuMs() - cpu0;
        shown = static_cast<std::size_t>(g.page->resultsModel()->rowCount());
    }
    if (g.ui.calls != 0)
        bench::skip(state, "a message was shown");
    const auto perChange = benchmark::Counter::kAvgIterations;
    state.counters["gui_cpu_ms"] = benchmark::Counter(guiCpu, perChange);
    state.counters["edit_ms"] = benchmark::Counter(edit, perChange);
    state.counters["painted_ms"] = benchmark::Counter(painted, perChange);
    state.counters["shown"] = static_cast<double>(shown);
}

// Each text one more or one less character than the one before, as typing goes.
void nameKeystroke(benchmark::State& state)
{
    const QString texts[] = {QStringLiteral("К"),    QStringLiteral("КТ"),  QStringLiteral("КТ3"),
                             QStringLiteral("КТ31"), QStringLiteral("КТ3"), QStringLiteral("КТ"),
                             QStringLiteral("B"),    QStringLiteral("BC"),  QStringLiteral("BC5")};
    std::size_t i = 0;
    for (auto _ : state) {
        g.page->nameEdit()->setText(texts[i++ % std::size(texts)]);
        const QImage painted = g.page->nameList()->grab().toImage();
        benchmark::DoNotOptimize(painted.constBits());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (!bench::takeDataChoice(argc, argv, "gui_substitute_bench", g.data))
        return 2;
    const std::string& suffix = g.data.suffix;
    const auto add = [&suffix](const char* name, void (*fn)(benchmark::State&)) {
        return bench::withMinMax(benchmark::RegisterBenchmark((name + suffix).c_str(), fn))
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
    };
    add("substitute_page_search", pageSearch);
    add("substitute_core_search", coreSearch);
    add("substitute_rule_change", ruleChange);
    add("substitute_name_keystroke", nameKeystroke);
    return runGuiBenchmarks(
        argc, argv,
        [] {
            g.folder = std::make_unique<ProgramFolder>(g.data.kind, g.data.records);
            g.catalogues = veltris::loadCatalogues(g.folder->dir.path().toStdString());
            auto base = veltris::readBase(g.folder->baseFile.toStdString(), g.catalogues.catalogue);
            if (!base) {
                std::fprintf(stderr, "bench: %s\n", base.error().message.c_str());
                std::exit(2);
            }
            g.base = std::move(*base);
            g.settings = std::make_unique<SettingsFile>(g.folder->paths);
            g.page = std::make_unique<SubstitutePage>(g.ui, *g.settings, QStringLiteral(VELTRIS_BIN_DIR),
                                                      g.catalogues.catalogue, g.navigator);
            g.page->setOpenBase(&*g.base, g.folder->baseFile);
            g.page->setReference(1);
            g.page->resize(1028, 652);
            g.page->show();
            runPageSearch();
            g.query = g.page->resultsModel()->query();
            if (g.query.rules.empty() || g.ui.calls != 0) {
                std::fprintf(stderr, "bench: the page's search did not run\n");
                std::exit(2);
            }
        },
        [] {
            g.page.reset();
            g.base.reset();
            g.folder.reset();
        });
}
