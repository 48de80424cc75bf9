#include "base/selection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "base/selectionrows.h"
#include "base/tableops.h"
#include "base/valuetext.h"

namespace veltris {

namespace {

// Bound conversion: "0" + numeric filter, then the number parser. The leading "0" makes an
// empty text read as 0 and rejects a negative bound or a range. The message quotes the bound as
// the user typed it ("-5"), not the text the parser was given ("0-5").
Result<double> boundValue(std::string_view text)
{
    std::string t = "0";
    t += numericFilter(text);
    auto value = parseNumber(t);
    if (!value)
        return Error{value.error().kind, invalidNumberMessage(text)};
    return value;
}

// Character classes of the numeric filter; everything else is dropped.
enum CharClass : std::uint8_t {
    kDrop,
    kDigit,
    kComma,
    kMinus,
    kExp
};

constexpr std::array<std::uint8_t, 256> makeClasses()
{
    std::array<std::uint8_t, 256> c{};
    for (int d = '0'; d <= '9'; ++d)
        c[d] = kDigit;
    c[static_cast<unsigned char>(',')] = kComma;
    c[static_cast<unsigned char>('-')] = kMinus;
    c[static_cast<unsigned char>('E')] = kExp;
    return c;
}
constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

constexpr std::array<double, 23> kPow10 = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                           1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Reads one plain decimal "digits[,digits]" from the filtered stream starting at i. Succeeds only
// where the result is certain to equal the full parser's: at least one digit, a mantissa of at
// most 2^53 and at most 22 decimals, so one division by an exact power of ten rounds correctly.
// On success i stands at the first kept character after the number (or the end).
inline bool readPlain(const unsigned char* s, std::size_t n, std::size_t& i, double& out)
{
    std::uint64_t m = 0;
    int digits = 0;
    int decimals = 0;
    bool comma = false;
    for (; i < n; ++i) {
        const std::uint8_t k = kClasses[s[i]];
        if (k == kDigit) {
            if (++digits > 19)
                return false;
            m = m * 10 + (s[i] - '0');
            decimals += comma;
        } else if (k == kComma) {
            if (comma)
                return false;
            comma = true;
        } else if (k != kDrop) {
            break;
        }
    }
    if (digits == 0 || m > (std::uint64_t{1} << 53) || decimals > 22)
        return false;
    out = decimals ? static_cast<double>(m) / kPow10[decimals] : static_cast<double>(m);
    return true;
}

// |A| and |B| of the range parser over the cell's filtered text, without building the filtered
// text, for the common forms "x", "-x", "x-y", "-x-y". Returns false for anything else
// (exponents, a lone comma, long mantissas, faults); the caller then takes the full parser.
inline bool fastCellRange(std::string_view cell, double& a, double& b)
{
    const auto* s = reinterpret_cast<const unsigned char*>(cell.data());
    const std::size_t n = cell.size();
    std::size_t i = 0;
    while (i < n && kClasses[s[i]] == kDrop)
        ++i;
    if (i == n) {
        a = b = 0;
        return true;
    }
    if (s[i] == '-')
        ++i;  // a leading minus only changes the sign of A
    if (!readPlain(s, n, i, a))
        return false;
    if (i == n) {
        b = a;
        return true;
    }
    if (s[i] != '-')
        return false;
    ++i;
    if (!readPlain(s, n, i, b))
        return false;
    return i == n;
}

// |A| and |B| of a stored cell from its stored form, where its text would give the same; false
// for cells only the text rules can read.
inline bool storedEnds(const ColumnStore& c, std::uint32_t s, double& a, double& b)
{
    switch (c.kind) {
    case CellKind::Value:
        if (c.classes[s] == kValueOther)
            return false;
        // "v" reads back as v..v and "-v" as -v..v; "0" as 0..0.
        a = b = std::fabs(readBack(c.a[s], c.classes[s]));
        return true;
    case CellKind::Range: {
        const std::uint8_t cls = c.classes[s];
        if ((cls & 0x3) == kValueOther || (cls >> 2) == kValueOther)
            return false;
        storedRangeEnds(c, s, a, b);
        a = std::fabs(a);
        b = std::fabs(b);
        return true;
    }
    case CellKind::Drawing: a = b = std::fabs(static_cast<double>(c.drawing[s])); return true;
    default: return false;
    }
}

}  // namespace

std::string referenceText(std::string_view cellText)
{
    return cellText.empty() ? std::string("0") : std::string(cellText);
}

Result<BoundTexts> boundsFromReference(std::string_view reference, int p, int q, bool lastRow)
{
    if (lastRow)
        return BoundTexts{std::string(reference), std::string(reference)};
    auto range = parseRange(numericFilter(reference));
    if (!range)
        return range.error();
    const long double a = range->a;
    const long double b = range->b;
    const double lower = static_cast<double>(std::fabs(a) - std::fabs(p * a / 100.0L));
    // Widening the largest doubles can leave the double range. Clamp to the largest value whose
    // 15-digit text still reads back as a number, so the bound stays usable.
    constexpr double kLargestBound = 1.79769313486231e308;
    const long double wide = std::fabs(b) + std::fabs(q * b / 100.0L);
    const double upper = wide > kLargestBound ? kLargestBound : static_cast<double>(wide);
    return BoundTexts{numberText(lower), numberText(upper)};
}

Result<PreparedBounds> prepareBounds(std::span<const BoundTexts> bounds)
{
    PreparedBounds prepared;

    // No criteria when every bound, read in row order, converts to 0.
    bool criteria = false;
    for (const BoundTexts& row : bounds) {
        for (const std::string* text : {&row.lower, &row.upper}) {
            auto v = boundValue(*text);
            if (!v)
                return v.error();
            if (*v != 0) {
                criteria = true;
                break;
            }
        }
        if (criteria)
            break;
    }
    if (!criteria) {
        prepared.noCriteria = true;
        return prepared;
    }

    // Convert every bound once. A bound that fails is kept as a fault in its place: it is
    // reported only when a component's test actually reaches its row, as a per-component
    // reading of the bounds would.
    for (std::size_t r = 0; r < bounds.size(); ++r) {
        const BoundTexts& row = bounds[r];
        if (row.lower.empty() || row.upper.empty())
            continue;
        SelectionBound entry;
        entry.column = static_cast<int>(r) + 1;
        auto lo = boundValue(row.lower);
        Result<double> hi = lo ? boundValue(row.upper) : Result<double>(0.0);
        if (!lo || !hi) {
            entry.fault = static_cast<int>(prepared.faults.size());
            prepared.faults.push_back(!lo ? lo.error() : hi.error());
            prepared.active.push_back(entry);
            continue;
        }
        entry.lo = std::fabs(*lo);
        entry.hi = std::fabs(*hi);
        if (entry.lo == 0 || entry.hi == 0)
            continue;
        prepared.active.push_back(entry);
    }
    return prepared;
}

bool cellEndsFromText(std::string_view cell, double& a, double& b, Error& error)
{
    if (fastCellRange(cell, a, b))
        return true;
    auto range = parseRange(numericFilter(cell));
    if (!range) {
        error = range.error();
        return false;
    }
    a = std::fabs(range->a);
    b = std::fabs(range->b);
    return true;
}

Result<SelectionResult> selectComponents(const Table& main, std::span<const BoundTexts> bounds)
{
    SelectionResult result;
    auto prepared = prepareBounds(bounds);
    if (!prepared)
        return prepared.error();
    if (prepared->noCriteria) {
        result.noCriteria = true;
        return result;
    }
    if (prepared->active.empty() || main.rowCount() < 2)
        return result;
    const auto ends = [&](int k, int column, double& a, double& b, Error& error) {
        const std::uint32_t stored = main.storedRow(k);
        const ColumnStore& c = main.column(column);
        const std::string* text = main.rowEdited(stored) ? main.editedText(stored, column) : nullptr;
        if (text == nullptr && storedEnds(c, stored, a, b))
            return true;
        if (text != nullptr)
            return cellEndsFromText(*text, a, b, error);
        if (c.kind == CellKind::Text)
            return cellEndsFromText(c.text(stored), a, b, error);
        return cellEndsFromText(main.storedText(stored, column), a, b, error);
    };
    auto rows = selectRows(*prepared, 1, main.rowCount(), main.columnCount(), ends);
    if (!rows)
        return rows.error();
    result.rows = std::move(*rows);
    return result;
}

void fillSelectionTable(const ComponentBase& base, Table& second, std::span<const int> rows)
{
    const int cols = second.columnCount() > 0 ? second.columnCount() : 1;
    const auto valid = [&](int r) { return r >= 1 && r < base.table.rowCount(); };
    if (!rows.empty() && std::all_of(rows.begin(), rows.end(), valid)) {
        // The rows view the main table's; the shown columns share its columns.
        second.viewRows(base.table, cols, rows, {});
    } else {
        second.resize(1, cols);
        second.resize(static_cast<int>(std::max<std::size_t>(rows.size(), 1)) + 1, cols);
        if (rows.empty())
            return;
    }
    second.copyColumn(0, base.table, 0, rows);
    for (int j = 1; j < cols && j <= kMaxParamColumns; ++j) {
        const int source = base.viewMask[static_cast<std::size_t>(j - 1)];
        if (source != 0)
            second.copyColumn(j, base.table, source, rows);
    }
}

int findComponentRow(const Table& main, std::string_view name)
{
    if (main.columnCount() < 1)
        return -1;
    for (int r = 1; r < main.rowCount(); ++r) {
        if (main.cell(r, 0) == name)
            return r;
    }
    return -1;
}

}  // namespace veltris
