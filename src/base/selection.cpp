#include "base/selection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "base/cp1251.h"
#include "base/selectionrows.h"
#include "base/tableops.h"
#include "base/typedvalue.h"
#include "base/valuetext.h"

namespace veltris {

namespace {

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

struct ActiveRow {
    bool cellMissing = false;  // the column lies outside the table: its cells read as 0
    int column = 0;
    BoundPair bounds;
};

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

Result<BoundPair> readBoundPair(const BoundTexts& texts, std::string_view titleCp1251, int column)
{
    BoundPair pair;
    const ColumnUnit unit = columnUnitOfTitle(titleCp1251);
    const auto refuse = [&](const std::string& text, const std::string& problem, const std::string& example) {
        TypedReading r;
        r.ok = false;
        r.problem = "граница «" + text + "»: " + problem;
        r.example = example;
        if (titleCp1251.empty())
            return Error{ErrorKind::InvalidNumber,
                         "Столбец " + std::to_string(column) + ": " + r.problem + ". Пример: " + example};
        return Error{ErrorKind::InvalidNumber, typedRefusalMessage(cp1251ToUtf8(titleCp1251), r)};
    };
    for (int side = 0; side < 2; ++side) {
        const std::string& text = side == 0 ? texts.lower : texts.upper;
        if (text.empty())
            continue;
        const TypedReading r = readTypedValue(text, unit);
        if (!r.ok)
            return refuse(text, r.problem, r.example);
        const std::uint8_t flags = r.value.flags;
        constexpr std::uint8_t kBrackets = kFlagParen | kFlagBracket | kFlagBrace;
        if ((flags & kBrackets) != 0 || (flags & kFlagLess && flags & kFlagGreater))
            return refuse(text, "у границы бывает только знак «<» или «>»", ">40");
        const double v = std::fabs(r.value.a);
        if (v == 0)
            continue;  // "0": no bound
        const bool lower = flags & kFlagGreater ? true : flags & kFlagLess ? false : side == 0;
        if ((lower && pair.hasLo) || (!lower && pair.hasHi))
            return refuse(text, lower ? "нижняя граница указана дважды" : "верхняя граница указана дважды",
                          ">40");
        (lower ? pair.hasLo : pair.hasHi) = true;
        (lower ? pair.lo : pair.hi) = v;
    }
    return pair;
}

Result<SelectionResult> selectComponents(const Table& main, std::span<const BoundTexts> bounds)
{
    SelectionResult result;

    // Every bound is read first: one that does not read stops the selection before it starts.
    std::vector<ActiveRow> active;
    const int cols = main.columnCount();
    for (std::size_t r = 0; r < bounds.size(); ++r) {
        const int column = static_cast<int>(r) + 1;
        auto pair =
            readBoundPair(bounds[r], main.rowCount() > 0 ? main.cell(0, column) : std::string(), column);
        if (!pair)
            return pair.error();
        if (!pair->hasLo && !pair->hasHi)
            continue;
        ActiveRow entry;
        entry.column = column;
        entry.bounds = *pair;
        entry.cellMissing = column >= cols;
        active.push_back(entry);
    }
    if (active.empty()) {
        result.noCriteria = true;
        return result;
    }
    if (main.rowCount() < 2 || cols < 1)
        return result;

    const ActiveRow* const first = active.data();
    const ActiveRow* const last = first + active.size();
    const int rows = main.rowCount();
    for (int k = 1; k < rows; ++k) {
        const std::uint32_t stored = main.storedRow(k);
        const bool edited = main.rowEdited(stored);
        bool passed = true;
        for (const ActiveRow* e = first; e != last; ++e) {
            double a = 0;
            double b = 0;
            const ColumnStore& c = main.column(e->cellMissing ? 0 : e->column);
            const std::string* text =
                edited && !e->cellMissing ? main.editedText(stored, e->column) : nullptr;
            if (e->cellMissing) {
                b = 0;  // an empty cell
            } else if (text == nullptr && storedEnds(c, stored, a, b)) {
                // the stored form gave the ends
            } else {
                std::string shown;
                std::string_view cell;
                if (text != nullptr) {
                    cell = *text;
                } else if (c.kind == CellKind::Text) {
                    cell = c.text(stored);
                } else {
                    shown = main.storedText(stored, e->column);
                    cell = shown;
                }
                if (!fastCellRange(cell, a, b)) {
                    auto range = parseRange(numericFilter(cell));
                    if (!range) {
                        Error err = range.error();
                        std::string title = cp1251ToUtf8(main.cell(0, e->column));
                        for (char& ch : title)
                            ch = ch == '|' ? ' ' : ch;
                        err.message = (title.empty() ? "Столбец " + std::to_string(e->column)
                                                     : "Столбец «" + title + "»") +
                                      ": " + err.message;
                        return err;
                    }
                    a = std::fabs(range->a);
                    b = std::fabs(range->b);
                }
            }
            if ((e->bounds.hasLo && !(a >= e->bounds.lo)) || (e->bounds.hasHi && !(b <= e->bounds.hi))) {
                passed = false;
                break;
            }
        }
        if (passed)
            result.rows.push_back(k);
    }
    return result;
}

Result<PreparedBounds> prepareBounds(std::span<const BoundTexts> bounds,
                                     const std::function<std::string(int)>& titleOf)
{
    PreparedBounds prepared;
    for (std::size_t r = 0; r < bounds.size(); ++r) {
        const int column = static_cast<int>(r) + 1;
        auto pair = readBoundPair(bounds[r], titleOf(column), column);
        if (!pair)
            return pair.error();
        if (pair->hasLo || pair->hasHi)
            prepared.active.push_back({column, *pair});
    }
    prepared.noCriteria = prepared.active.empty();
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
