// qdb select: the search page's parametric selection from the command line.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/libraryselection.h"
#include "base/navigatorcatalogue.h"
#include "base/selection.h"
#include "base/textparse.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"

namespace qdb {

namespace {

struct SelectOptions {
    DataDirOption dataDir;
    std::string baseFile;
    std::vector<std::string> bounds;  // COL=LOW:HIGH
    std::string like;                 // UTF-8 name
    bool hasLike = false;
    std::string spread;   // P:Q
    std::string columns;  // C,C,...
    std::vector<std::string> libraries;
};

// The selection over the base and every base of its device type in the library folders: one
// line a component, the base's file and the name separated by a tab.
int selectInFolders(const SelectOptions& o, const veltris::ComponentBase& base,
                    const std::vector<veltris::BoundTexts>& bounds, const veltris::Catalogue& catalogue)
{
    using namespace veltris;
    LibraryFiles library;
    if (const Status added = addLibraryFile(library, o.baseFile, catalogue); !added) {
        printError(added.error().message);
        return 1;
    }
    NavigatorCatalogue navigator;
    int exitCode = 0;
    for (const std::string& dir : o.libraries) {
        for (const Error& e : navigator.addFolder(dir)) {
            printError(e.message);
            exitCode = 1;
        }
    }
    LibraryFiles folders = readLibraryFiles(navigator, catalogue, base.deviceType);
    for (const Error& e : folders.problems) {
        printError(e.message);
        exitCode = 1;
    }
    for (LibraryFile& f : folders.files) {
        if (!f.identity.sameFile(library.files.front().identity))
            library.files.push_back(std::move(f));
    }
    auto selected = selectInLibrary(library, catalogue, base.deviceType, bounds,
                                    [&base](int column) { return base.table.cell(0, column); });
    if (!selected) {
        printError(selected.error().message);
        return 1;
    }
    if (selected->noCriteria) {
        printError("не задано ни одной границы");
        return 1;
    }
    std::string out;
    for (const LibrarySelectionHit& hit : selected->hits) {
        out += library.files[static_cast<std::size_t>(hit.file)].fileName;
        out += '\t';
        out += cp1251ToUtf8(hit.name);
        out += '\n';
    }
    writeOut(out);
    return exitCode;
}

std::string columnRangeText(int last)
{
    return last >= 1 ? "от 1 до " + std::to_string(last) : "нет (в базе нет столбцов параметров)";
}

int runSelect(const SelectOptions& o)
{
    if (!o.hasLike && (!o.spread.empty() || !o.columns.empty())) {
        printError("--spread и --columns действуют только вместе с --like");
        return 1;
    }

    int p = 10;
    int q = 10;
    if (!o.spread.empty()) {
        const auto colon = o.spread.find(':');
        std::optional<int> pv;
        std::optional<int> qv;
        if (colon != std::string::npos) {
            pv = veltris::parseInteger(std::string_view(o.spread).substr(0, colon));
            qv = veltris::parseInteger(std::string_view(o.spread).substr(colon + 1));
        }
        if (!pv || !qv || *pv < 0 || *pv > 100 || *qv < 0 || *qv > 100) {
            printError("--spread «" + o.spread +
                       "»: нужны два целых числа от 0 до 100 через двоеточие, например 10:10");
            return 1;
        }
        p = *pv;
        q = *qv;
    }

    // A missing catalogue does not stop the selection: the titles then name no unit.
    const veltris::CatalogueLoad catalogues = veltris::loadCatalogues(o.dataDir.folder());
    auto loaded = veltris::readBase(o.baseFile, catalogues.catalogue);
    if (!loaded) {
        printError(loaded.error().message);
        return 1;
    }
    const veltris::ComponentBase& base = *loaded;
    const veltris::Table& table = base.table;
    const int lastColumn = table.columnCount() - 1;  // the drawing number
    std::vector<veltris::BoundTexts> bounds(lastColumn > 0 ? lastColumn : 0, {"0", "0"});

    auto checkColumn = [&](std::string_view text, int& column) {
        const auto v = veltris::parseInteger(text);
        if (!v || *v < 1 || *v > lastColumn) {
            printError("номер столбца «" + std::string(text) + "» недопустим; допустимы номера " +
                       columnRangeText(lastColumn));
            return false;
        }
        column = *v;
        return true;
    };

    if (o.hasLike) {
        const std::string name = veltris::utf8ToCp1251(o.like);
        const int row = veltris::findComponentRow(table, name);
        if (row < 0) {
            printError("компонент «" + o.like + "» не найден в базе");
            return 1;
        }
        std::vector<int> listed;
        if (o.columns.empty()) {
            for (int c = 1; c <= lastColumn; ++c)
                listed.push_back(c);
        } else {
            std::string_view rest = o.columns;
            while (true) {
                const auto comma = rest.find(',');
                int column = 0;
                if (!checkColumn(rest.substr(0, comma), column))
                    return 1;
                listed.push_back(column);
                if (comma == std::string_view::npos)
                    break;
                rest.remove_prefix(comma + 1);
            }
        }
        for (int c : listed) {
            const std::string reference = veltris::referenceText(table.cell(row, c));
            auto taken = veltris::boundsFromReference(reference, p, q, c == lastColumn);
            if (!taken) {
                printError(taken.error().message);
                return 1;
            }
            bounds[static_cast<std::size_t>(c - 1)] = std::move(*taken);
        }
    }

    // Typed bounds come after the taken ones, as typing into the grid after a click would.
    // "3=90:110", "3=40:" and "3=>40" (at least), "3=:100" and "3=<100" (at most); each end is
    // read as the window reads what is typed, in the column's unit ("2=1к:2к", "5=1 А:").
    for (const std::string& spec : o.bounds) {
        const auto eq = spec.find('=');
        const auto colon = eq == std::string::npos ? std::string::npos : spec.find(':', eq + 1);
        if (eq == std::string::npos ||
            (colon != std::string::npos && spec.find(':', colon + 1) != std::string::npos)) {
            printError("--bound «" + spec +
                       "»: нужна запись СТОЛБЕЦ=ОТ:ДО, например 3=90:110, 3=40: или 3=>40");
            return 1;
        }
        int column = 0;
        if (!checkColumn(std::string_view(spec).substr(0, eq), column))
            return 1;
        veltris::BoundTexts typed;
        if (colon == std::string::npos) {
            // One text: it says itself which side it bounds.
            typed.lower = spec.substr(eq + 1);
            const std::string_view t = veltris::trimBlanks(typed.lower);
            const bool marked = !t.empty() && (t.front() == '<' || t.front() == '>' || t.starts_with("≤") ||
                                               t.starts_with("≥"));
            if (!marked) {
                printError(
                    "--bound «" + spec +
                    "»: одна граница пишется со знаком (3=>40, 3=<100) или с двоеточием (3=40:, 3=:100)");
                return 1;
            }
        } else {
            typed = {spec.substr(eq + 1, colon - eq - 1), spec.substr(colon + 1)};
        }
        auto read = veltris::readBoundPair(typed, table.cell(0, column), column);
        if (!read) {
            printError("--bound «" + spec + "»: " + read.error().message);
            return 1;
        }
        bounds[static_cast<std::size_t>(column - 1)] = std::move(typed);
    }

    if (!o.libraries.empty())
        return selectInFolders(o, base, bounds, catalogues.catalogue);
    auto selected = veltris::selectComponents(table, bounds);
    if (!selected) {
        printError(selected.error().message);
        return 1;
    }

    std::string out;
    auto emit = [&](int row) {
        out += veltris::cp1251ToUtf8(table.cell(row, 0));
        out += '\n';
    };
    if (selected->noCriteria) {
        for (int r = 1; r < table.rowCount(); ++r)
            emit(r);
    } else {
        for (int r : selected->rows)
            emit(r);
    }
    writeOut(out);
    return 0;
}

}  // namespace

void registerSelect(CLI::App& app, int& exitCode)
{
    auto options = std::make_shared<SelectOptions>();
    CLI::App* sub =
        app.add_subcommand("select",
                           "Подбор по параметрам: имена компонентов, чьи параметры лежат в границах, "
                           "по одному в строке в порядке таблицы");
    options->dataDir.addTo(sub);
    required(sub->add_option("base", options->baseFile, "Файл базы (.QDB)")->type_name("БАЗА"),
             "не указан файл базы (БАЗА)");
    sub->add_option("--bound", options->bounds,
                    "Границы столбца основной таблицы через двоеточие, например 3=90:110; одна граница: "
                    "3=40: или 3=>40 (не меньше), 3=:100 или 3=<100 (не больше); числа пишутся как в "
                    "окне: 1,5 или 1.5, 4к7, 1,5 А — в единице столбца")
        ->type_name("СТОЛБЕЦ=ОТ:ДО")
        ->allow_extra_args(false);
    CLI::Option* like =
        sub->add_option("--like", options->like,
                        "Взять границы от первого компонента с этим именем, с разбросом параметров")
            ->type_name("ИМЯ");
    sub->add_option("--spread", options->spread, "Разброс в процентах (по умолчанию 10:10)")
        ->type_name("ОТ:ДО");
    sub->add_option("--columns", options->columns,
                    "Столбцы, границы которых берутся от компонента, через запятую "
                    "(по умолчанию все столбцы параметров и номер корпуса)")
        ->type_name("СТОЛБЦЫ");
    sub->add_option("--library", options->libraries,
                    "Подбирать и во всех базах того же типа в этих папках (как навигатор); вывод: "
                    "файл базы и имя через табуляцию")
        ->type_name("ПАПКА")
        ->check(existingFolder())
        ->allow_extra_args(false);
    sub->callback([options, like, &exitCode] {
        options->hasLike = like->count() > 0;
        exitCode = runSelect(*options);
    });
}

}  // namespace qdb
