// Feeds arbitrary bytes to the CSV import. Whatever it reads: no line with a problem is taken,
// lines read as they are scanned and lines read through the splitter give the same records, and
// records whose texts the export writes unambiguously come back the same from their export.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/catalogue.h"
#include "base/csvexport.h"
#include "base/csvimport.h"
#include "fuzzcheck.h"

using namespace veltris;

namespace {

// Two types sharing some names, so that the type must be told from the titles.
const Catalogue& catalogue()
{
    static const Catalogue c = [] {
        Catalogue cat;
        check(cat.loadTypeFromBytes(3,
                                    "[Col_1]\nCount=2\nName_1=U,|V\nName_2=U,|kV\n[Col_2]\nName_1=I, mA\n"
                                    "[Col_10]\nName_1=T max\n[Col_12]\nName_1=Case\n")
                  .ok());
        check(cat.loadTypeFromBytes(1,
                                    "[Col_1]\nName_1=Type\n[Col_14]\nCount=2\nName_1=h21e\nName_2=h21E\n"
                                    "[Col_9]\nName_1=T max\n")
                  .ok());
        check(cat.loadTypeFromBytes(7, "[Col_1]\nName_1=Colour\n[Col_2]\nName_1=I, mA\n").ok());
        return cat;
    }();
    return c;
}

// Texts the export writes as they are and the reader would take for structure.
bool exportable(const Table& t)
{
    for (int r = 1; r < t.rowCount(); ++r)
        for (int c = 0; c < t.columnCount(); ++c) {
            const std::string s = t.cell(r, c);
            if (s.find_first_of(";\r\n") != std::string::npos || (!s.empty() && s.front() == '"'))
                return false;
        }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CsvImportOptions options;
    options.skipBadLines = size % 2 == 0;
    auto scanned = importCsv(bytes, catalogue(), options);
    options.previewRows = 1 << 30;  // every line through the splitter
    auto split = importCsv(bytes, catalogue(), options);
    check(scanned.ok() == split.ok());
    if (!scanned)
        return 0;
    check(scanned->problemCount == split->problemCount);
    check(scanned->badLines == split->badLines);
    check(csvBytes(scanned->base.table) == csvBytes(split->base.table));
    check(scanned->problemCount >= scanned->badLines.size());

    if (scanned->problemCount == 0 && exportable(scanned->base.table)) {
        const std::string once = csvBytes(scanned->base.table);
        // Read as the export writes: Windows-1251 (whose bytes may also pass for UTF-8), «;».
        CsvImportOptions again;
        again.deviceType = scanned->base.deviceType;
        again.encoding = CsvEncoding::Cp1251;
        again.separator = ';';
        auto back = importCsv(once, catalogue(), again);
        check(back.ok());
        check(back->problemCount == 0);
        check(csvBytes(back->base.table) == once);
    }
    return 0;
}
