// The selection over a library's records read from the files' bytes selects exactly what the
// selection over each base's table selects.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/devicetype.h"
#include "base/libraryselection.h"
#include "base/navigatorcatalogue.h"
#include "base/selection.h"

namespace fs = std::filesystem;
using namespace veltris;

namespace {

TEST(LibrarySelection, SameAsTheSelectionOverEachBase)
{
    const CatalogueLoad catalogues = loadCatalogues(VELTRIS_SOURCE_DIR "/data");
    const Catalogue& catalogue = catalogues.catalogue;
    NavigatorCatalogue navigator;
    ASSERT_TRUE(navigator.addFolder(fs::path(VELTRIS_BIN_DIR) / "samples").empty());
    for (const auto& dir : fs::directory_iterator(fs::path(VELTRIS_SOURCE_DIR) / "tests/fixtures/bases"))
        if (dir.is_directory())
            (void)navigator.addFolder(dir.path());  // damaged fixtures are meant to be refused
    const LibraryFiles library = readLibraryFiles(navigator, catalogue);
    ASSERT_GT(library.files.size(), 6u);

    int compared = 0;
    for (std::size_t f = 0; f < library.files.size(); ++f) {
        const LibraryFile& file = library.files[f];
        auto base = decodeBase(file.bytes, catalogue);
        ASSERT_TRUE(base.ok()) << file.fileName;
        const int type = base->deviceType;
        if (findDeviceType(type) == nullptr || base->recordCount() == 0)
            continue;
        const int last = base->table.columnCount() - 1;
        // Each column alone, around each of the first records' values, and all of them at once.
        for (int reference = 1; reference <= std::min(3, base->recordCount()); ++reference) {
            std::vector<BoundTexts> all(static_cast<std::size_t>(last), {"0", "0"});
            for (int c = 1; c <= last; ++c) {
                auto bound =
                    boundsFromReference(referenceText(base->table.cell(reference, c)), 50, 50, c == last);
                if (!bound)
                    continue;
                std::vector<BoundTexts> one(static_cast<std::size_t>(last), {"0", "0"});
                one[static_cast<std::size_t>(c - 1)] = *bound;
                all[static_cast<std::size_t>(c - 1)] = *bound;
                for (const auto* bounds : {&one, &all}) {
                    const auto expected = selectComponents(base->table, *bounds);
                    // The library holds other bases of the type: only this file's hits count.
                    LibraryFiles single;
                    single.files.push_back(file);
                    const auto got = selectInLibrary(single, catalogue, type, *bounds);
                    ASSERT_EQ(expected.ok(), got.ok()) << file.fileName << " column " << c;
                    if (!expected.ok())
                        continue;
                    std::vector<int> rows;
                    for (const LibrarySelectionHit& h : got->hits)
                        rows.push_back(h.row + 1);
                    EXPECT_EQ(rows, expected->rows) << file.fileName << " column " << c;
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 100);

    // Every base of a type in one call: the hits of each file, files in order.
    std::vector<BoundTexts> uce(30, {"0", "0"});
    uce[1] = {"40", "60"};
    const auto many = selectInLibrary(library, catalogue, 1, uce);
    ASSERT_TRUE(many.ok());
    EXPECT_FALSE(many->hits.empty());
    for (std::size_t k = 1; k < many->hits.size(); ++k)
        EXPECT_LE(many->hits[k - 1].file, many->hits[k].file);
    std::vector<BoundTexts> none(30, {"0", "0"});
    EXPECT_TRUE(selectInLibrary(library, catalogue, 1, none)->noCriteria);
}

}  // namespace
