#include "base/csvsplit.h"

#include "base/cp1251.h"

namespace veltris {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

bool hasUtf8Bom(std::string_view bytes)
{
    return bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
}

std::string_view withoutUtf8Bom(std::string_view bytes)
{
    return hasUtf8Bom(bytes) ? bytes.substr(kUtf8Bom.size()) : bytes;
}

CsvEncoding detectCsvEncoding(std::string_view bytes)
{
    if (hasUtf8Bom(bytes))
        return CsvEncoding::Utf8;
    bool high = false;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = decodeUtf8(bytes.substr(i)).length;
        if (n == 0)
            return CsvEncoding::Cp1251;
        high = true;
        i += n;
    }
    return high ? CsvEncoding::Utf8 : CsvEncoding::Cp1251;
}

std::vector<int> utf8LinesIn(std::string_view bytes, std::size_t most, std::size_t& count)
{
    std::vector<int> lines;
    count = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    int line = 1;
    while (p < end) {
        // One line: valid UTF-8 with at least one sequence of two bytes or more.
        bool high = false;
        bool valid = true;
        while (p < end && *p != '\n' && *p != '\r') {
            if (*p < 0x80) {
                ++p;
                continue;
            }
            const std::size_t n =
                valid
                    ? decodeUtf8({reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p)}).length
                    : 0;
            if (n == 0) {
                valid = false;
                ++p;
                continue;
            }
            high = true;
            p += n;
        }
        if (high && valid) {
            ++count;
            if (lines.size() < most)
                lines.push_back(line);
        }
        if (p < end && *p == '\r' && p + 1 < end && p[1] == '\n')
            ++p;
        if (p < end) {
            ++p;
            ++line;
        }
    }
    return lines;
}

void CsvSplitter::skipLineEnd()
{
    if (m_text[m_pos] == '\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\n')
        ++m_pos;
    ++m_pos;
    ++m_line;
}

std::size_t CsvSplitter::quotedField(CsvRecord& record)
{
    // m_pos is on the opening quote.
    const std::size_t n = m_text.size();
    const std::size_t begin = record.unquoted.size();
    ++m_pos;
    while (true) {
        if (m_pos >= n) {
            record.openQuote = true;
            break;
        }
        const char c = m_text[m_pos];
        if (c == '"') {
            if (m_pos + 1 < n && m_text[m_pos + 1] == '"') {
                record.unquoted += '"';
                m_pos += 2;
                continue;
            }
            ++m_pos;
            // Whatever stands between the closing quote and the separator belongs to the field.
            while (m_pos < n && m_text[m_pos] != m_separator && !atLineEnd(m_pos))
                record.unquoted += m_text[m_pos++];
            break;
        }
        if (c == '\n' || (c == '\r' && !(m_pos + 1 < n && m_text[m_pos + 1] == '\n')))
            ++m_line;
        record.unquoted += c;
        ++m_pos;
    }
    return begin;
}

bool CsvSplitter::next(CsvRecord& record)
{
    const std::size_t n = m_text.size();
    while (m_pos < n && atLineEnd(m_pos))
        skipLineEnd();  // empty lines hold no record
    if (m_pos >= n)
        return false;

    record.line = m_line;
    record.fields.clear();
    record.unquoted.clear();
    record.openQuote = false;
    record.cut = false;
    m_quoted.clear();
    const char sep = m_separator;
    const char* const text = m_text.data();
    while (true) {
        const bool keep = record.fields.size() < kMaxCsvFields;
        record.cut = record.cut || !keep;
        if (m_pos < n && text[m_pos] == '"') {
            // Its view is made when the record is complete: `unquoted` may move until then.
            const std::size_t begin = quotedField(record);
            if (keep) {
                m_quoted.push_back({record.fields.size(), begin, record.unquoted.size() - begin});
                record.fields.emplace_back();
            } else {
                record.unquoted.resize(begin);
            }
        } else {
            const std::size_t start = m_pos;
            std::size_t i = m_pos;
            while (i < n) {
                const char c = text[i];
                if (c == sep || c == '\n' || c == '\r')
                    break;
                ++i;
            }
            m_pos = i;
            if (keep)
                record.fields.emplace_back(text + start, i - start);
        }
        if (m_pos < n && text[m_pos] == sep) {
            ++m_pos;
            // A separator at the end of the line opens no field.
            if (m_pos < n && !atLineEnd(m_pos))
                continue;
        }
        break;
    }
    if (m_pos < n)
        skipLineEnd();
    for (const Quoted& q : m_quoted)
        record.fields[q.field] = std::string_view(record.unquoted).substr(q.begin, q.size);
    return true;
}

}  // namespace veltris
