#include "core_ops.h"

#include <cstdio>
#include <cstdlib>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/csvexport.h"
#include "base/csvimport.h"
#include "base/fileio.h"
#include "base/recovery.h"
#include "base/tableops.h"

namespace bench {

namespace {

[[noreturn]] void fail(const char* what, const std::string& message)
{
    std::fprintf(stderr, "bench: %s: %s\n", what, message.c_str());
    std::exit(2);
}

const veltris::Catalogue& noTitles()
{
    static const veltris::Catalogue catalogue;
    return catalogue;
}

}  // namespace

Base loadBase(std::string_view bytes)
{
    auto base = veltris::decodeBase(bytes, noTitles());
    if (!base)
        fail("load", base.error().message);
    return std::move(*base);
}

Base loadBaseFile(const std::filesystem::path& file)
{
    auto base = veltris::readBase(file, noTitles());
    if (!base)
        fail("load", base.error().message);
    return std::move(*base);
}

std::string saveBytes(const Base& base)
{
    auto bytes = veltris::encodeBase(base);
    if (!bytes)
        fail("encode", bytes.error().message);
    return std::move(*bytes);
}

void saveBase(const Base& base, const std::filesystem::path& file)
{
    const veltris::Status st = veltris::writeBase(base, file);
    if (!st)
        fail("save", st.error().message);
}

std::string exportCsv(const std::filesystem::path& baseFile, const veltris::Catalogue& catalogue)
{
    auto base = veltris::readBase(baseFile, catalogue);
    if (!base)
        fail("load", base.error().message);
    base->table.setCell(0, 0, veltris::utf8ToCp1251("Тип прибора"));
    return veltris::csvBytes(base->table);
}

Base importCsvFile(const std::filesystem::path& csvFile, const veltris::Catalogue& catalogue)
{
    const auto bytes = veltris::readFileBytes(csvFile, veltris::memoryForFileBytes());
    if (!bytes)
        fail("read", bytes.error().message);
    auto imported = veltris::importCsv(*bytes, catalogue, {});
    if (!imported)
        fail("import", imported.error().message);
    if (imported->problemCount != 0)
        fail("import", imported->problems.front().message);
    return std::move(imported->base);
}

void editCell(Base& base, int row, int column, std::string_view cp1251)
{
    base.table.setCell(row, column, cp1251);
}

void writeRecoveryFile(const Base& base, const std::filesystem::path& file)
{
    veltris::RecoveryInfo info;
    info.basePath = "/home/user/base.QDB";
    info.owner = veltris::currentProcess();
    auto bytes = veltris::encodeRecovery(info, base);
    if (!bytes)
        fail("recovery", bytes.error().message);
    const veltris::Status st = veltris::writeFileAtomic(file, *bytes);
    if (!st)
        fail("recovery", st.error().message);
}

void sortByColumn(Base& base, int column)
{
    const veltris::Status st = veltris::sortTableRows(base.table, column);
    if (!st)
        fail("sort", st.error().message);
}

Bounds boundsFromRecord(const Base& base, int row, int p, int q)
{
    Bounds bounds;
    const int last = base.table.columnCount() - 1;
    for (int c = 1; c <= last; ++c) {
        const std::string reference = veltris::referenceText(base.table.cell(row, c));
        auto b = veltris::boundsFromReference(reference, p, q, c == last);
        if (!b)
            fail("bounds", b.error().message);
        bounds.push_back(std::move(*b));
    }
    return bounds;
}

std::vector<int> selectRows(const Base& base, const Bounds& bounds)
{
    auto result = veltris::selectComponents(base.table, bounds);
    if (!result)
        fail("select", result.error().message);
    return std::move(result->rows);
}

int recordCount(const Base& base)
{
    return base.recordCount();
}

int columnCount(const Base& base)
{
    return base.table.columnCount();
}

std::string textOf(const Base& base, int row, int column)
{
    return base.table.cell(row, column);
}

std::size_t totalTextBytes(const Base& base)
{
    std::size_t total = 0;
    for (int r = 0; r < base.table.rowCount(); ++r)
        for (int c = 0; c < base.table.columnCount(); ++c)
            total += base.table.cell(r, c).size();
    return total;
}

}  // namespace bench
