// The navigator with 100,000 catalogue entries: sorting the catalogue once, filling the list for
// a device type, one quick-search keystroke, beside a plain std::sort of the same names and a
// sort that collates on every comparison.
//
// Runs offscreen: QT_QPA_PLATFORM=offscreen is set unless another platform is asked for.
#include <benchmark/benchmark.h>

#include <QCollator>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QLocale>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/apputil.h"
#include "app/sdimain.h"
#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/devicetype.h"
#include "search/navform.h"
#include "gui_bench_support.h"
#include "search/navlistmodel.h"

namespace {

constexpr int kFiles = 10;
constexpr int kPerFile = 10'000;

// Component names as they come: Latin and Cyrillic prefixes, numbers, suffix letters, some in
// lower case.
std::vector<std::string> makeNames(std::size_t count)
{
    static const char* const prefixes[] = {"KT", "КТ", "2N", "BC", "BZX", "Д", "КД", "1N", "MUR", "ГТ", "bat", "кс"};
    static const char* const suffixes[] = {"", "А", "Б", "A", "B", "-1", "W", "М"};
    std::vector<std::string> names;
    names.reserve(count);
    std::uint32_t x = 12345;
    const auto next = [&x] { x = x * 1664525u + 1013904223u; return x >> 8; };
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = qStringToCp(QString::fromUtf8(prefixes[next() % std::size(prefixes)]));
        name += std::to_string(next() % 100000);
        name += qStringToCp(QString::fromUtf8(suffixes[next() % std::size(suffixes)]));
        names.push_back(name.substr(0, 15));
    }
    return names;
}

// A program folder with the catalogue files, a settings file and a scan folder of bases.
struct World {
    QTemporaryDir dir;
    SilentUi ui;
    std::vector<std::string> names;
    std::unique_ptr<TSDIAppForm> form;

    World()
    {
        copyCatalogues(dir.path());
        const QString scan = dir.filePath(QStringLiteral("bases"));
        QDir().mkpath(scan);
        const veltris::Catalogue catalogue = veltris::loadCatalogues(toFsPath(dir.path())).catalogue;

        names = makeNames(std::size_t{kFiles} * kPerFile);
        const int types[] = {1, 3, 4, 5, 6, 7};
        for (int f = 0; f < kFiles; ++f) {
            const int type = types[f % std::size(types)];
            veltris::ComponentBase base = veltris::makeEmptyBase(catalogue, "");
            base.deviceType = static_cast<std::uint16_t>(type);
            base.table = veltris::Table(kPerFile + 1, veltris::tableColumnCount(type));
            for (int r = 0; r < kPerFile; ++r)
                base.table.setCell(r + 1, 0, names[static_cast<std::size_t>(f * kPerFile + r)]);
            base.setDescription("bench");
            if (!veltris::writeBase(base, toFsPath(scan + QStringLiteral("/b%1.QDB").arg(f))))
                qFatal("cannot write a base");
        }

        const AppPaths paths = AppPaths::inFolder(dir.path());
        writeSettings(paths, (QStringLiteral("[Settings]\r\nShowNav=0\r\n[Scan]\r\nDir0=") + scan +
                              QStringLiteral("\r\n")).toUtf8());
        form = std::make_unique<TSDIAppForm>(paths, ui, QStringList{});
        if (form->navigatorCatalogue().size() != names.size())
            qFatal("the scan found %zu entries", form->navigatorCatalogue().size());
        form->navForm()->show();
    }
};

World& world()
{
    static World w;
    return w;
}

// The one-time work of the window's creation: every entry's sort key, then a sort.
void BM_SortCatalogue(benchmark::State& state)
{
    World& w = world();
    NavListModel model;
    for (auto _ : state) {
        model.setCatalogue(w.form->navigatorCatalogue());
        model.showType(0);
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(w.names.size()));
}
BENCHMARK(BM_SortCatalogue)->Unit(benchmark::kMillisecond);

// A click in the device type list: the list refilled and painted. Arg: the type (0: all).
void BM_FillListForType(benchmark::State& state)
{
    World& w = world();
    TNavForm* nav = w.form->navForm();
    nav->listBox1()->setCurrentRow(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        nav->ListBox1Click();
        nav->listBox2()->viewport()->repaint();
    }
    state.counters["rows"] = nav->listModel()->rowCount();
}
BENCHMARK(BM_FillListForType)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One keystroke in the quick search over all 100,000: position, description, repaint.
void BM_QuickSearchKeystroke(benchmark::State& state)
{
    World& w = world();
    TNavForm* nav = w.form->navForm();
    nav->listBox1()->setCurrentRow(0);
    nav->ListBox1Click();
    const QString texts[] = {QStringLiteral("КТ31"), QStringLiteral("КТ315"), QStringLiteral("BZX5"),
                             QStringLiteral("BZX55")};
    std::size_t i = 0;
    for (auto _ : state) {
        nav->edit1()->setText(texts[i++ % std::size(texts)]);
        nav->listBox2()->viewport()->repaint();
    }
}
BENCHMARK(BM_QuickSearchKeystroke)->Unit(benchmark::kMicrosecond);

// The reference: the same names sorted by their bytes.
void BM_StdSortNames(benchmark::State& state)
{
    World& w = world();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> names = w.names;
        state.ResumeTiming();
        std::sort(names.begin(), names.end());
        benchmark::DoNotOptimize(names.data());
    }
}
BENCHMARK(BM_StdSortNames)->Unit(benchmark::kMillisecond);

// What sorting without keys would cost: the collator on every comparison.
void BM_CollateEveryComparison(benchmark::State& state)
{
    World& w = world();
    QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QString> all;
    for (const std::string& n : w.names)
        all.push_back(cpToQString(n));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<QString> names = all;
        state.ResumeTiming();
        std::sort(names.begin(), names.end(),
                  [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
        benchmark::DoNotOptimize(names.data());
    }
}
BENCHMARK(BM_CollateEveryComparison)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    return runGuiBenchmarks(argc, argv, [] { world().form.reset(); });
}
