// The data folder of the executables: beside them in a build, ../share/veltris when installed.
#include <fstream>

#include <gtest/gtest.h>

#include "base/datadir.h"
#include "scratchdir.h"

using veltris::findDataDir;

TEST(DataDir, BesideInstalledOrFallback)
{
    ScratchDir dir;
    namespace fs = std::filesystem;
    const fs::path bin = dir.path() / "usr" / "bin";
    const fs::path share = dir.path() / "usr" / "share" / "veltris";
    fs::create_directories(bin);
    EXPECT_EQ(findDataDir(bin), bin);  // nothing anywhere: the executable's folder

    fs::create_directories(share);
    EXPECT_EQ(findDataDir(bin), share);
    EXPECT_EQ(findDataDir(bin / "."), share);

    std::ofstream(bin / "bipolar.ini") << "[1]\n";  // a catalogue beside wins
    EXPECT_EQ(findDataDir(bin), bin);
}
