#include "base/ini.h"

#include <cerrno>
#include <charconv>
#include <limits>

#include <sys/stat.h>

#include "base/fileio.h"
#include "base/textparse.h"

namespace veltris {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 0x20);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 0x20);
        if (x != y)
            return false;
    }
    return true;
}

// The name of a "[section]" line, or nullopt for any other line.
std::optional<std::string_view> sectionName(std::string_view line)
{
    const std::string_view t = trimBlanks(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    const std::string_view inner = t.substr(1);
    return trimBlanks(inner.substr(0, inner.find(']')));
}

// Position of '=' in a key line; npos for blank, comment and section lines.
size_t equalsPos(std::string_view line)
{
    const std::string_view t = trimBlanks(line);
    if (t.empty() || t.front() == ';' || t.front() == '[')
        return std::string_view::npos;
    return line.find('=');
}

bool isKeyLine(std::string_view line, std::string_view key)
{
    const size_t eq = equalsPos(line);
    return eq != std::string_view::npos && equalsNoCase(trimBlanks(line.substr(0, eq)), trimBlanks(key));
}

}  // namespace

std::optional<long long> parseIniInt(std::string_view text)
{
    std::string_view s = trimBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return std::nullopt;
    unsigned long long magnitude = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    constexpr auto maxPositive = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    if (negative) {
        if (magnitude > maxPositive + 1)
            return std::nullopt;
        // Negate in unsigned arithmetic so that the minimum value does not overflow.
        return static_cast<long long>(0ULL - magnitude);
    }
    if (magnitude > maxPositive)
        return std::nullopt;
    return static_cast<long long>(magnitude);
}

IniFile IniFile::fromBytes(std::string_view bytes)
{
    IniFile ini;
    // A UTF-8 byte-order mark is no part of the first line; it is written back as it came.
    if (bytes.starts_with(kUtf8Bom)) {
        ini.m_bom = true;
        bytes.remove_prefix(kUtf8Bom.size());
    }
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        if (nl == std::string_view::npos)
            nl = bytes.size();
        std::string_view line = bytes.substr(pos, nl - pos);
        // Any run of CR before the LF belongs to the line end ("\r\r\n" is one end).
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ini.m_lines.emplace_back(line);
        pos = nl + 1;
    }
    return ini;
}

IniFile IniFile::loadOrEmpty(const std::filesystem::path& path)
{
    auto bytes = readFileBytes(path);
    return bytes ? fromBytes(*bytes) : IniFile();
}

Result<IniFile> IniFile::loadIfPresent(const std::filesystem::path& path)
{
    auto bytes = readFileBytes(path);
    if (bytes)
        return fromBytes(*bytes);
    // Only a name that leads nowhere is a missing file; a folder on the way that cannot be
    // looked into is a failure.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT)
        return IniFile();
    return bytes.error();
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const std::string_view wanted = trimBlanks(section);
    bool inSection = false;
    for (const std::string& line : m_lines) {
        if (auto name = sectionName(line)) {
            inSection = equalsNoCase(*name, wanted);
            continue;
        }
        if (inSection && isKeyLine(line, key))
            return std::string(trimBlanks(std::string_view(line).substr(line.find('=') + 1)));
    }
    return std::nullopt;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const
{
    return value(section, key).has_value();
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view def) const
{
    auto v = value(section, key);
    return v ? std::move(*v) : std::string(def);
}

long long IniFile::readInt(std::string_view section, std::string_view key, long long def) const
{
    const auto v = value(section, key);
    if (!v)
        return def;
    return parseIniInt(*v).value_or(def);
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    // A line break in the value would split the line and corrupt the file on the next read.
    std::string clean(value);
    for (char& c : clean)
        if (c == '\r' || c == '\n')
            c = ' ';

    const std::string_view wanted = trimBlanks(section);
    long sectionLine = -1;  // header of the first matching section
    long lastKeyLine = -1;  // last key line of that section
    bool inSection = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const std::string& line = m_lines[i];
        if (auto name = sectionName(line)) {
            if (sectionLine >= 0 && inSection)
                break;  // end of the first matching section
            inSection = equalsNoCase(*name, wanted);
            if (inSection)
                sectionLine = static_cast<long>(i);
            continue;
        }
        if (!inSection || equalsPos(line) == std::string::npos)
            continue;
        if (isKeyLine(line, key)) {
            m_lines[i] = line.substr(0, line.find('=') + 1) + clean;
            return;
        }
        lastKeyLine = static_cast<long>(i);
    }

    std::string newLine = std::string(trimBlanks(key)) + "=" + clean;
    if (sectionLine >= 0) {
        const long at = (lastKeyLine >= 0 ? lastKeyLine : sectionLine) + 1;
        m_lines.insert(m_lines.begin() + at, std::move(newLine));
        return;
    }
    if (!m_lines.empty() && !trimBlanks(m_lines.back()).empty())
        m_lines.emplace_back();
    m_lines.push_back("[" + std::string(wanted) + "]");
    m_lines.push_back(std::move(newLine));
}

void IniFile::writeInt(std::string_view section, std::string_view key, long long value)
{
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;  // 24 bytes hold any long long
    writeString(section, key, std::string_view(buf, static_cast<size_t>(end - buf)));
}

std::string IniFile::toBytes() const
{
    size_t size = 0;
    for (const std::string& line : m_lines)
        size += line.size() + 2;
    std::string out;
    out.reserve(size + kUtf8Bom.size());
    if (m_bom)
        out += kUtf8Bom;
    for (const std::string& line : m_lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

Status IniFile::saveAtomic(const std::filesystem::path& path, std::string_view failureMessage) const
{
    return writeFileAtomic(path, toBytes(), failureMessage);
}

}  // namespace veltris
