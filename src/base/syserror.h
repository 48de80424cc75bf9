#pragma once
// The one table of system error numbers (errno) in Russian words, for every message that names
// the reason a file or folder could not be used.
#include <string>

namespace veltris {

// What the failed call was working on; only a few reasons read differently for a folder.
enum class SystemObject {
    File,
    Folder
};

// "нет места на диске", "нет доступа", ...; "системная ошибка N" for a number without words.
std::string systemReason(int err, SystemObject object = SystemObject::File);

}  // namespace veltris
