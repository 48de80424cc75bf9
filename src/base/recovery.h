#pragma once
// Recovery files: the unsaved state of an open base, written now and then while it is changed,
// so that a crash, a power cut or a killed session loses at most the last few seconds.
//
// A recovery file is a text header and the base's bytes as the base writer makes them:
//   VELTRIS RECOVERY 1
//   base=<path of the base file, or empty for a base never saved>
//   user=… host=… pid=… boot=… start=… time=…   (the program that wrote it, one key a line)
//   identity=<the base file's identity when the changes were made over it>
//   cell=<row> <column> <text>                  (cells the bytes would not give back exactly)
//   <empty line>
//   <the base's bytes>
// Backslash, CR and LF in the values are written as \\, \r and \n.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/componentbase.h"
#include "base/fileidentity.h"
#include "base/processstamp.h"
#include "base/result.h"

namespace veltris {

class Catalogue;

struct RecoveryInfo {
    std::string basePath;   // the base file's path (bytes as the system has them)
    ProcessStamp owner;     // the program that wrote the file, and when
    FileIdentity identity;  // the base file as it was when the changes were made over it
};

struct RecoveredBase {
    RecoveryInfo info;
    ComponentBase base;  // cell (0,0) left to the caller (the device label), as for a load
};

// The recovery file's bytes. A cell whose text the base's bytes do not give back exactly (a
// number text the writer refuses, an empty value that would read back as "0") is kept as text
// in the header and put back on reading: the base comes back exactly as it was shown.
// Errors: those of encodeBase that no cell explains, OutOfMemory.
Result<std::string> encodeRecovery(const RecoveryInfo& info, const ComponentBase& base);
// The header alone. Error (Generic, Russian) for bytes that are no recovery file.
Result<RecoveryInfo> decodeRecoveryInfo(std::string_view bytes);
// Header and base. Errors: as decodeRecoveryInfo and decodeBase.
Result<RecoveredBase> decodeRecovery(std::string_view bytes, const Catalogue& catalogue);

// The recovery files in `folder` ("*.recovery"), newest first. None when there is no folder.
std::vector<std::filesystem::path> listRecoveryFiles(const std::filesystem::path& folder);

// Moves a recovery file that cannot be read into "damaged" beside it, under a name not yet
// taken there; returns the new path, or an empty one when it could not be moved (it then stays).
std::filesystem::path moveRecoveryAside(const std::filesystem::path& file);

}  // namespace veltris
