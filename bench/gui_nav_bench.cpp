// The navigator over a scan folder holding a generated base of N records:
//   nav_sort         the catalogue sorted for the list (what the window does once), vs
//                    std::sort of the same names
//   fill_list        a click in the device type list: the list refilled and painted
//   quick_search_key one keystroke in the quick search: position, description, repaint
//
//   gui_nav_bench [--records=N] [benchmark flags]
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_data.h"
#include "gui_bench_support.h"
#include "search/navigatorlistmodel.h"
#include "search/navigatorwindow.h"

namespace {

struct Fixture {
    int records = 100000;
    QTemporaryDir dir;
    SilentUi ui;
    std::vector<std::string> names;  // the same names as the base holds
    std::unique_ptr<MainWindow> form;

    void build()
    {
        copyCatalogues(dir.path());
        const QString scan = dir.filePath(QStringLiteral("bases"));
        QDir().mkpath(scan);
        bench::writeFile((scan + QStringLiteral("/names.QDB")).toStdString(),
                         bench::makeBaseBytes(bench::DataKind::Datasheet, records));
        names = bench::componentNames(static_cast<std::size_t>(records));
        const AppPaths paths = AppPaths::inFolder(dir.path());
        writeSettings(paths, (QStringLiteral("[Settings]\r\nShowNav=0\r\n[Scan]\r\nDir0=") + scan +
                              QStringLiteral("\r\n"))
                                 .toUtf8());
        form = std::make_unique<TestWindow>(paths, ui, QStringList{});
        if (form->document().application().navigatorCatalogue().size() != names.size()) {
            std::fprintf(stderr, "bench: the scan found %zu entries\n",
                         form->document().application().navigatorCatalogue().size());
            std::exit(2);
        }
        form->navigatorWindow()->show();
    }
};

Fixture g;

void navSort(benchmark::State& state)
{
    NavigatorListModel model;
    for (auto _ : state) {
        model.setCatalogue(g.form->document().application().navigatorCatalogue());
        model.showType(0);
        benchmark::DoNotOptimize(model.rowCount());
    }
}

void navSortBaseline(benchmark::State& state)
{
    std::vector<std::string> names;
    for (auto _ : state) {
        state.PauseTiming();
        names = g.names;
        state.ResumeTiming();
        std::sort(names.begin(), names.end());
        benchmark::DoNotOptimize(names.data());
    }
}

void fillList(benchmark::State& state)
{
    NavigatorWindow* nav = g.form->navigatorWindow();
    nav->typeList()->setCurrentRow(0);
    for (auto _ : state) {
        nav->showChosenType();
        nav->componentList()->viewport()->repaint();
    }
    state.counters["rows"] = nav->listModel()->rowCount();
}

void quickSearchKey(benchmark::State& state)
{
    NavigatorWindow* nav = g.form->navigatorWindow();
    nav->typeList()->setCurrentRow(0);
    nav->showChosenType();
    const QString texts[] = {QStringLiteral("КТ31"), QStringLiteral("КТ315"), QStringLiteral("BC5"),
                             QStringLiteral("BC54")};
    std::size_t i = 0;
    for (auto _ : state) {
        nav->quickSearchEdit()->setText(texts[i++ % std::size(texts)]);
        nav->componentList()->viewport()->repaint();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    g.records = std::atoi(bench::takeOption(argc, argv, "records", "100000").c_str());
    if (g.records < 2) {
        std::fprintf(stderr, "usage: gui_nav_bench [--records=N] [benchmark flags]\n");
        return 2;
    }
    const std::string suffix = "/names/" + std::to_string(g.records);
    const auto add = [&suffix](const char* name, void (*fn)(benchmark::State&), benchmark::TimeUnit unit) {
        return bench::withMinMax(benchmark::RegisterBenchmark((name + suffix).c_str(), fn))->Unit(unit);
    };
    add("nav_sort", navSort, benchmark::kMillisecond);
    add("nav_sort_baseline", navSortBaseline, benchmark::kMillisecond);
    add("fill_list", fillList, benchmark::kMillisecond);
    add("quick_search_key", quickSearchKey, benchmark::kMillisecond);
    return runGuiBenchmarks(
        argc, argv, [] { g.build(); }, [] { g.form.reset(); });
}
