#include "base/datadir.h"

namespace veltris {

std::filesystem::path findDataDir(const std::filesystem::path& exeDir)
{
    std::error_code ec;
    if (std::filesystem::is_regular_file(exeDir / "bipolar.ini", ec))
        return exeDir;
    std::filesystem::path shared = (exeDir / ".." / "share" / "veltris").lexically_normal();
    if (std::filesystem::is_directory(shared, ec))
        return shared;
    return exeDir;
}

}  // namespace veltris
