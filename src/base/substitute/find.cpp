#include "base/substitute/find.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/basefile.h"
#include "base/componentbase.h"
#include "base/fileio.h"
#include "base/navigatorcatalogue.h"
#include "base/recordcells.h"
#include "base/substitute/judge.h"
#include "base/substitute/ranking.h"
#include "base/substitute/storecells.h"
#include "base/substitute/valuetexts.h"
#include "base/table.h"

namespace veltris {

namespace fs = std::filesystem;

using namespace substitute;
using record::plainBaseBytes;
using record::RecordCells;

namespace {

// Adds the full matches and near misses from `from` on to the counts.
void countMatches(const std::vector<FinderMatch>& matches, std::size_t from, std::size_t& fullCount,
                  std::size_t& nearCount)
{
    for (std::size_t k = from; k < matches.size(); ++k)
        (matches[k].fails == 0 ? fullCount : nearCount) += 1;
}

// What the judge needs of column c of a base in the store.
ColumnHead storeHead(const ComponentBase& base, int c)
{
    const int type = base.deviceType;
    const bool there = c >= 1 && c <= parameterColumnCount(type) && c < base.table.columnCount();
    return ColumnHead{there, isTextParameter(type, c),
                      there ? unitScaleOfTitle(base.table.cell(0, c)) : UnitScale{}};
}

// Keeps the best `top` of one base's candidates before the texts are copied, so a library
// search holds texts only for what can still reach the result.
void keepBest(const FinderQuery& query, std::vector<FinderMatch>& matches, std::size_t from)
{
    if (query.top == 0 || matches.size() - from <= query.top)
        return;
    const auto first = matches.begin() + static_cast<std::ptrdiff_t>(from);
    std::nth_element(first, first + static_cast<std::ptrdiff_t>(query.top), matches.end(), betterMatch);
    matches.resize(from + query.top);
}

void attachTexts(const FinderQuery& query, const Table& table, FinderMatch& m, ValueTexts& memo)
{
    m.texts.clear();
    m.texts.reserve(query.rules.size());
    const std::uint32_t s = table.storedRow(m.row + 1);
    const bool edited = table.rowEdited(s);
    for (std::size_t j = 0; j < query.rules.size(); ++j) {
        const int c = query.rules[j].column;
        std::string& text = m.texts.emplace_back();
        if (c >= table.columnCount())
            continue;
        const ColumnStore& store = table.column(c);
        if (store.kind == CellKind::Value && !(edited && table.editedText(s, c) != nullptr))
            memo.append(j, store.flags[s], store.a[s], text,
                        [&](std::string& t) { table.appendCell(m.row + 1, c, t); });
        else
            table.appendCell(m.row + 1, c, text);
    }
}

void attachTexts(const FinderQuery& query, const ComponentBase& base, int baseIndex,
                 std::span<FinderMatch> matches, ValueTexts& memo)
{
    for (FinderMatch& m : matches)
        if (m.base == baseIndex)
            attachTexts(query, base.table, m, memo);
}

void attachTexts(const FinderQuery& query, const RecordCells& cells, std::vector<FinderMatch>& matches,
                 std::size_t from, ValueTexts& memo)
{
    for (std::size_t k = from; k < matches.size(); ++k) {
        FinderMatch& m = matches[k];
        m.texts.clear();
        m.texts.reserve(query.rules.size());
        for (std::size_t j = 0; j < query.rules.size(); ++j) {
            std::string& text = m.texts.emplace_back();
            if (cells.hasColumn(query.rules[j].column))
                cells.appendText(m.row, query.rules[j].column, j, text, memo);
        }
    }
}

// Judges the rows of one base and gives the kept ones their names and texts. Every kept row is in the
// result when there is no `top`: its texts are then copied block by block, while its cells are
// still in the cache; otherwise only the best `top` get texts, after the cut. The base's
// candidates are appended to `matches` and counted; false when cancelled.
template <CellReader Cells, class Texts, class Step>
bool judgeAndAttach(const FinderQuery& query, const JudgePlan& plan, const Cells& cells, int rows,
                    int baseIndex, int excludeRow, std::vector<FinderMatch>& matches, Texts texts, Step step,
                    std::size_t& fullCount, std::size_t& nearCount, JudgeSpace& space)
{
    const std::size_t from = matches.size();
    const bool early = query.top == 0;
    const bool judged = judgeRows(
        plan, cells, rows, baseIndex, excludeRow, matches, step,
        [&](std::size_t first) {
            if (early) {
                nameMatches(cells, matches, first);
                texts(first);
            }
        },
        space);
    if (!judged)
        return false;
    // Counted before the cut: the counts cover everything found. Names and texts only for
    // what is kept.
    countMatches(matches, from, fullCount, nearCount);
    keepBest(query, matches, from);
    if (!early) {
        nameMatches(cells, matches, from);
        texts(from);
    }
    return true;
}

// Judges a base in the store straight from its stored form: no finder source is built, and a
// row's cells are read only while the row can still be kept.
template <class Step>
bool judgeBase(const FinderQuery& query, const ComponentBase& base, int baseIndex, int excludeRow,
               std::vector<FinderMatch>& matches, Step step, std::size_t& fullCount, std::size_t& nearCount,
               ValueTexts* memo, JudgeSpace& space)
{
    const JudgePlan plan = prepare(query, [&](int c) { return storeHead(base, c); });
    return judgeAndAttach(
        query, plan, StoreCells(base.table), base.recordCount(), baseIndex, excludeRow, matches,
        [&](std::size_t first) {
            if (memo)
                attachTexts(query, base, baseIndex, std::span(matches).subspan(first), *memo);
        },
        step, fullCount, nearCount, space);
}

// Judges one library file from its bytes and appends its candidates, with names and texts, to
// `matches`; a file of another device type adds nothing, one the base reader refuses is listed
// in the report's problems.
void judgeFileBytes(const FinderQuery& query, const std::string& fileName, std::string_view bytes,
                    const FileIdentity& identity, const Catalogue& catalogue, FinderReport& report,
                    std::vector<FinderMatch>& matches, ValueTexts& memo, JudgeSpace& space)
{
    const auto always = [](int) { return true; };
    if (!plainBaseBytes(bytes)) {
        // Not a base file of the usual shape: the base reader reads it or says why.
        auto base = decodeBase(bytes, catalogue);
        if (!base) {
            Error named{base.error().kind, "«" + fileName + "»: " + base.error().message};
            report.problems.push_back(std::move(named));
        } else if (base->deviceType == query.deviceType) {
            const int index = static_cast<int>(report.baseFiles.size());
            report.baseFiles.emplace_back(fileName);
            report.baseIdentities.push_back(identity);
            judgeBase(query, *base, index, -1, matches, always, report.fullCount, report.nearCount, &memo,
                      space);
        }
        return;
    }
    const RecordCells cells(bytes, catalogue);
    const int type = cells.deviceType();
    if (type != query.deviceType)
        return;
    const int index = static_cast<int>(report.baseFiles.size());
    report.baseFiles.emplace_back(fileName);
    report.baseIdentities.push_back(identity);
    const JudgePlan plan = prepare(query, [&](int c) {
        const bool there = c >= 1 && c <= parameterColumnCount(type) && cells.hasColumn(c);
        return ColumnHead{there, isTextParameter(type, c),
                          there ? unitScaleOfTitle(cells.title(c)) : UnitScale{}};
    });
    judgeAndAttach(
        query, plan, cells, static_cast<int>(cells.records()), index, -1, matches,
        [&](std::size_t first) { attachTexts(query, cells, matches, first, memo); }, always, report.fullCount,
        report.nearCount, space);
}

}  // namespace

FinderReport findInBase(const FinderQuery& query, const ComponentBase& base, std::string_view fileName,
                        const FinderProgress& progress, bool withTexts)
{
    FinderReport report;
    report.baseFiles.emplace_back(fileName);
    report.baseIdentities.emplace_back();
    // Progress counts rows; the last step is the ranking.
    const auto rows = static_cast<std::size_t>(base.recordCount());
    const auto step = [&](int from) {
        return !progress || progress(static_cast<std::size_t>(from), rows + 1);
    };
    JudgeSpace space(query.rules.size());
    ValueTexts memo(withTexts ? query.rules.size() : 0);
    const bool judged = judgeBase(query, base, 0, query.referenceRow, report.matches, step, report.fullCount,
                                  report.nearCount, withTexts ? &memo : nullptr, space);
    if (!judged || (progress && !progress(rows, rows + 1))) {
        report.cancelled = true;
        report.fullCount = report.nearCount = 0;
        report.matches.clear();
        return report;
    }
    std::size_t full = 0;
    std::size_t near = 0;
    rankMatches(query, report.matches, full, near);
    return report;
}

void attachMatchTexts(const FinderQuery& query, const ComponentBase& base, int baseIndex,
                      std::span<FinderMatch> matches)
{
    // Ranked matches lie all over the base: their texts are made in row order, so that the
    // store's arrays are read front to back.
    std::vector<std::pair<int, std::uint32_t>> order;
    order.reserve(matches.size());
    for (std::size_t k = 0; k < matches.size(); ++k)
        if (matches[k].base == baseIndex)
            order.emplace_back(matches[k].row, static_cast<std::uint32_t>(k));
    std::sort(order.begin(), order.end());
    ValueTexts memo(query.rules.size());
    for (const auto& [row, k] : order)
        attachTexts(query, base.table, matches[k], memo);
}

FinderReport findInLibrary(const FinderQuery& query, const ComponentBase& openBase, std::string_view openFile,
                           const NavigatorCatalogue& navigator, const Catalogue& catalogue,
                           const FinderProgress& progress)
{
    FinderReport report;

    // The files of the query's type, each once, in catalogue order.
    std::vector<const NavigatorBaseFile*> files;
    for (const NavigatorEntry entry : navigator) {
        if (entry.deviceType != query.deviceType)
            continue;
        if (!files.empty() && files.back() == entry.base)
            continue;
        files.push_back(entry.base);
    }
    const fs::path open(openFile);
    const auto isOpenFile = [&](const std::string& name) {
        std::error_code ec;
        return !openFile.empty() && (fs::path(name) == open || fs::equivalent(name, open, ec));
    };

    std::vector<FinderMatch> matches;
    const auto always = [](int) { return true; };
    ValueTexts memo(query.rules.size());  // a value's text is the same in every base
    JudgeSpace space(query.rules.size());
    const auto collect = [&](const ComponentBase& base, std::string_view fileName, int exclude) {
        const int index = static_cast<int>(report.baseFiles.size());
        report.baseFiles.emplace_back(fileName);
        report.baseIdentities.emplace_back();
        judgeBase(query, base, index, exclude, matches, always, report.fullCount, report.nearCount, &memo,
                  space);
    };

    const std::size_t total = files.size() + 1;
    collect(openBase, openFile, query.referenceRow);
    // Each file is read whole into one buffer and judged from its record bytes: only the names
    // and the ruled columns of the rows that can still be kept are decoded.
    std::string buffer;
    const auto cancelled = [&](std::size_t f) { return progress && !progress(f + 1, total); };
    for (std::size_t f = 0; f < files.size(); ++f) {
        if (cancelled(f)) {
            report.cancelled = true;
            report.fullCount = report.nearCount = 0;
            return report;
        }
        const std::string& fileName = files[f]->fileName;
        if (isOpenFile(fileName))
            continue;
        // The file may have been swapped for a pipe, a device or a huge file since the scan: the
        // reader refuses those, and a long read stops at a cancel.
        const auto read =
            readWholeFile(fileName, buffer, ReadLimits{maxBaseFileSize(), [&] { return cancelled(f); }});
        if (!read && read.error().kind == ErrorKind::Cancelled) {
            report.cancelled = true;
            report.fullCount = report.nearCount = 0;
            return report;
        }
        if (!read) {
            report.problems.push_back(read.error());
            continue;
        }
        judgeFileBytes(query, fileName, std::string_view(buffer.data(), read->size), read->identity,
                       catalogue, report, matches, memo, space);
    }
    if (progress)
        progress(total, total);
    std::size_t full = 0;
    std::size_t near = 0;
    rankMatches(query, matches, full, near);
    report.matches = std::move(matches);
    return report;
}

FinderReport findInFiles(const FinderQuery& query, const ComponentBase* openBase, std::string_view openFile,
                         std::span<const LibraryFile> files, const Catalogue& catalogue,
                         const FinderProgress& progress)
{
    FinderReport report;
    std::vector<FinderMatch> matches;
    ValueTexts memo(query.rules.size());
    JudgeSpace space(query.rules.size());
    const auto always = [](int) { return true; };
    if (openBase != nullptr) {
        report.baseFiles.emplace_back(openFile);
        report.baseIdentities.emplace_back();
        judgeBase(query, *openBase, 0, query.referenceRow, matches, always, report.fullCount,
                  report.nearCount, &memo, space);
    }
    const std::size_t total = files.size() + 1;
    for (std::size_t f = 0; f < files.size(); ++f) {
        if (progress && !progress(f + 1, total)) {
            report.cancelled = true;
            report.fullCount = report.nearCount = 0;
            return report;
        }
        const LibraryFile& file = files[f];
        if (file.deviceType != query.deviceType || (openBase != nullptr && file.fileName == openFile))
            continue;
        judgeFileBytes(query, file.fileName, file.bytes, file.identity, catalogue, report, matches, memo,
                       space);
    }
    if (progress)
        progress(total, total);
    std::size_t full = 0;
    std::size_t near = 0;
    rankMatches(query, matches, full, near);
    report.matches = std::move(matches);
    return report;
}

}  // namespace veltris
