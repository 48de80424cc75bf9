#include "cli/targets.h"

#include <string>

#include "base/baselock.h"
#include "base/fileidentity.h"
#include "cli/commands.h"

namespace qdb {

bool outputIsNoInput(const std::filesystem::path& out, std::initializer_list<std::filesystem::path> inputs)
{
    const veltris::FileIdentity target = veltris::statIdentity(out);
    for (const std::filesystem::path& in : inputs) {
        if (target.sameFile(veltris::statIdentity(in))) {
            printError("«" + out.string() + "» — это тот же файл, что и читаемый «" + in.string() +
                       "»; запись уничтожила бы его: укажите другой файл");
            return false;
        }
    }
    return true;
}

bool targetFree(const std::filesystem::path& out, bool force)
{
    // A base open in a window would be overwritten at its next save, or would overwrite what
    // is written here.
    if (force)
        return true;
    const auto holder = veltris::activeLockHolder(out);
    if (!holder)
        return true;
    printError("база «" + out.string() + "» открыта для изменения: " + veltris::describeHolder(*holder) +
               "; чтобы записать её всё равно, укажите --force");
    return false;
}

}  // namespace qdb
