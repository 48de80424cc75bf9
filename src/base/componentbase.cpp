#include "base/componentbase.h"

#include <algorithm>
#include <cstring>

#include "base/catalogue.h"

namespace veltris {

namespace {

constexpr char kNotice[] = "Veltris: component base file, format 5.";
static_assert(sizeof kNotice - 1 == 39, "the banner notice fills exactly 39 bytes");

// "Сделано Tarsenvolde." in Windows-1251.
constexpr char kDefaultDescription[] = "\xD1\xE4\xE5\xEB\xE0\xED\xEE Tarsenvolde.";
static_assert(sizeof kDefaultDescription - 1 == 20);

BaseHeader buildDefaultHeader()
{
    BaseHeader h{};
    h[0] = 'Q';
    h[1] = 'Z';
    h[2] = 0x08;
    h[3] = 0x08;
    h[4] = 0x28;
    h[5] = 0x08;
    std::memcpy(h.data() + 6, kNotice, 39);
    // 45..54 stay zero
    h[55] = 0x0A;
    h[56] = 0x0D;
    h[57] = 0x1A;
    h[58] = 5;
    h[kDescriptionOffset] = sizeof kDefaultDescription - 1;
    std::memcpy(h.data() + kDescriptionOffset + 1, kDefaultDescription, sizeof kDefaultDescription - 1);
    return h;
}

}  // namespace

const BaseHeader& defaultBaseHeader()
{
    static const BaseHeader header = buildDefaultHeader();
    return header;
}

std::string ComponentBase::description() const
{
    // A damaged length byte must not reach past the header.
    const size_t len = std::min<size_t>(header[kDescriptionOffset], kMaxDescription);
    return std::string(reinterpret_cast<const char*>(header.data()) + kDescriptionOffset + 1, len);
}

void ComponentBase::setDescription(std::string_view cp1251)
{
    const size_t len = std::min<size_t>(cp1251.size(), kMaxDescription);
    header[kDescriptionOffset] = static_cast<std::uint8_t>(len);
    std::uint8_t* text = header.data() + kDescriptionOffset + 1;
    std::memcpy(text, cp1251.data(), len);
    std::memset(text + len, 0, kMaxDescription - len);
}

void ComponentBase::applyTitles(const Catalogue& catalogue)
{
    const int count = std::min(parameterColumnCount(deviceType), table.columnCount() - 1);
    if (table.rowCount() == 0)
        return;
    for (int c = 1; c <= count && c <= kMaxParamColumns; ++c)
        table.setCell(0, c, catalogue.name(deviceType, c, columnMap[c - 1]));
}

ComponentBase makeEmptyBase(const Catalogue& catalogue, std::string_view deviceLabel)
{
    ComponentBase base;
    base.deviceType = 1;
    base.columnMap.fill(1);
    base.viewMask.fill(0);
    base.secondColumnCount = 2;
    base.table.resize(2, tableColumnCount(1));
    base.table.setCell(0, 0, deviceLabel);
    base.applyTitles(catalogue);
    return base;
}

}  // namespace veltris
