#pragma once
// The .QDB base file: reader for format versions 3, 4 and 5, writer for version 5.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/componentbase.h"
#include "base/result.h"

namespace veltris {

class Catalogue;

constexpr int kLeadSize = 231;  // header, column map, second-table column count, view mask
constexpr int kRecordSizeV3 = 258;

// Format version read from header bytes 58..61: 3, 4, 5, or 0 when none matches.
int formatVersion(const std::uint8_t* header);
// Device type code a header gives (1 for versions 3 and 4, byte 59 for 5), 0 for bad versions.
int headerDeviceType(const std::uint8_t* header);
// Record size for a format version; 0 for none.
int recordSize(int version);

// Builds a complete base from file bytes. Titles come from the catalogue; cell (0,0) is left
// to the caller (the device label). Records: every whole record; a trailing piece is ignored
// and its size kept in unreadTailBytes.
// Errors: TooShort (less than 231 bytes), VersionMismatch ("Несоответствие версии файла"),
// OutOfMemory.
Result<ComponentBase> decodeBase(std::string_view bytes, const Catalogue& catalogue);
// The same, keeping the bytes (at the cost of their size in memory) as the table's record image
// (table.h), so that a save copies each record nobody changed instead of encoding it again.
Result<ComponentBase> decodeBaseKeeping(std::string&& bytes, const Catalogue& catalogue);
// The largest base file: the lead and as many records as a table can hold (a trailing piece of
// a record may follow). A bigger file cannot be a base.
std::uint64_t maxBaseFileSize();
// Reads and decodes a file, keeping its bytes as decodeBaseKeeping does. Errors as
// decodeBase, plus those of readWholeFile.
Result<ComponentBase> readBase(const std::filesystem::path& path, const Catalogue& catalogue);

// «Последняя запись файла неполная (N байт) и не прочитана.» for a base with unreadTailBytes N.
std::string unreadTailMessage(std::size_t bytes);

// Version-5 bytes of a base. Errors: WriteFailed ("Ошибка записи в файл") for a number text
// the parser rejects or a drawing number outside -32768..32767 (the error names that cell's data
// row and column), or a type code above 255. A cell nobody edited is written from its stored
// form, as its text would be; a value no text carries (infinity, NaN) and a range whose ends
// agree (its text shows one number, and "-5" reads back as -5..5) are written as loaded.
Result<std::string> encodeBase(const ComponentBase& base);
// Encodes and writes all or nothing (temporary file, then rename).
Status writeBase(const ComponentBase& base, const std::filesystem::path& path);

}  // namespace veltris
