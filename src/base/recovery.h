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
#include "base/fileio.h"
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

// A recovery file claimed by this program: an exclusive advisory lock (flock) on the file, held
// while the claim lives (the system drops it when the program ends, however it ends). Only the
// holder offers, restores or removes the file, so two programs starting together never both
// take the same changes, nor does one delete what the other restored.
class RecoveryClaim {
public:
    RecoveryClaim() = default;
    // Claims `file`; an empty claim when another program holds it, or when the name no longer
    // names the file locked (it was replaced or removed meanwhile). Where the file system has
    // no such locks the file counts as claimed, as before locks were taken.
    static RecoveryClaim claim(const std::filesystem::path& file);

    explicit operator bool() const { return static_cast<bool>(m_fd); }
    const std::filesystem::path& file() const { return m_file; }
    // The name still names the file claimed (no one replaced it since).
    bool stillNamed() const;
    // Removes the file, when the name still names the file claimed; the claim ends either way.
    bool remove();
    void release();

private:
    UniqueFd m_fd;
    std::filesystem::path m_file;
};

// Moves a recovery file that cannot be read into "damaged" beside it, under a name not yet
// taken there; returns the new path, or an empty one when it could not be moved (it then stays).
std::filesystem::path moveRecoveryAside(const std::filesystem::path& file);

}  // namespace veltris
