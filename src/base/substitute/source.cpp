#include "base/substitute/source.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/devicetype.h"

namespace veltris {

FinderSource::FinderSource(int deviceType, int rowCount)
    : m_deviceType(deviceType), m_columnCount(parameterColumnCount(deviceType)),
      m_rowCount(std::max(rowCount, 0)), m_names(static_cast<std::size_t>(m_rowCount) * kNameField, '\0'),
      m_columns(static_cast<std::size_t>(m_columnCount) + 1)
{}

void FinderSource::setName(int row, std::string_view cp1251)
{
    char* field = m_names.data() + static_cast<std::size_t>(row) * kNameField;
    const std::size_t n = std::min(cp1251.size(), kNameField - 1);
    field[0] = static_cast<char>(n);
    std::memcpy(field + 1, cp1251.data(), n);
}

std::string_view FinderSource::name(int row) const
{
    const char* field = m_names.data() + static_cast<std::size_t>(row) * kNameField;
    return {field + 1, static_cast<unsigned char>(field[0])};
}

FinderSource::Column& FinderSource::buildColumn(int c, bool text, UnitScale unit)
{
    Column& col = column(c);
    col.built = true;
    col.text = text;
    col.unit = std::move(unit);
    const auto n = static_cast<std::size_t>(m_rowCount);
    if (text) {
        col.key.assign(n, 0);
    } else {
        col.lo.assign(n, 0);
        col.hi.assign(n, 0);
        col.known.assign(n, 0);
    }
    return col;
}

NameLookup lookUpName(const FinderSource& source, std::string_view typed)
{
    return lookUpName(typed, source.rowCount(), [&](int i) { return source.name(i); });
}

std::vector<int> findNameMatches(const FinderSource& source, std::string_view typed)
{
    return lookUpName(source, typed).all();
}

}  // namespace veltris
