// Feeds small generated tables and bound texts to the parametric selection and compares it with
// a plain reading of its rules, one component at a time; bounds taken from a reference value
// must always be usable as bounds.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/selection.h"
#include "base/table.h"
#include "base/valuetext.h"
#include "fuzzcheck.h"

using namespace veltris;

namespace {

// A bound is "0" + its numeric filter read as a number; a refusal quotes the text as typed.
Result<double> boundOf(const std::string& text)
{
    auto value = parseNumber("0" + numericFilter(text));
    if (!value)
        return Error{value.error().kind, invalidNumberMessage(text)};
    return value;
}

// The selection rules read literally: each component tests each counting row in order.
Result<SelectionResult> plainSelection(const Table& main, const std::vector<BoundTexts>& bounds)
{
    SelectionResult result;
    // Criteria: some bound, read row by row and lower before upper, is not 0; a bound that
    // fails before that one is reached is the error.
    std::vector<const std::string*> texts;
    for (const BoundTexts& row : bounds)
        texts.insert(texts.end(), {&row.lower, &row.upper});
    const auto firstNonZero = std::find_if(texts.begin(), texts.end(), [](const std::string* t) {
        const auto v = boundOf(*t);
        return !v || *v != 0;
    });
    if (firstNonZero != texts.end()) {
        if (auto v = boundOf(**firstNonZero); !v)
            return v.error();
    }
    if (firstNonZero == texts.end()) {
        result.noCriteria = true;
        return result;
    }
    for (int k = 1; k < main.rowCount(); ++k) {
        bool counted = false;
        bool passed = true;
        for (size_t r = 0; r < bounds.size() && passed; ++r) {
            if (bounds[r].lower.empty() || bounds[r].upper.empty())
                continue;
            auto lo = boundOf(bounds[r].lower);
            if (!lo)
                return lo.error();
            auto hi = boundOf(bounds[r].upper);
            if (!hi)
                return hi.error();
            if (*lo == 0 || *hi == 0)
                continue;
            counted = true;
            auto range = parseRange(numericFilter(main.cell(k, static_cast<int>(r) + 1)));
            if (!range)
                return range.error();
            passed = std::fabs(range->a) >= std::fabs(*lo) && std::fabs(range->b) <= std::fabs(*hi);
        }
        if (counted && passed)
            result.rows.push_back(k);
    }
    return result;
}

// Input: a header line "R C B P Q" (digits; missing ones count as 0), then newline-separated
// fields: the reference text, R*C cells row by row, then B pairs of bound texts.
struct Fields {
    std::string_view rest;
    std::string_view next()
    {
        const size_t nl = rest.find('\n');
        const std::string_view f = rest.substr(0, nl);
        rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
        return f;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    Fields in{std::string_view(reinterpret_cast<const char*>(data), size)};
    int header[5] = {};
    const std::string_view head = in.next();
    for (size_t i = 0, n = 0; i < head.size() && n < 5; ++i) {
        if (head[i] >= '0' && head[i] <= '9')
            header[n] = header[n] * 10 + (head[i] - '0');
        else if (head[i] == ' ')
            ++n;
        if (n < 5 && header[n] > 1000)
            return 0;
    }
    const int rows = 1 + header[0] % 8;
    const int cols = header[1] % 7;
    const size_t boundRows = static_cast<size_t>(header[2] % 8);
    const int p = header[3] % 101;
    const int q = header[4] % 101;

    const std::string reference(in.next());
    for (bool lastRow : {false, true}) {
        auto b = boundsFromReference(reference, p, q, lastRow);
        if (!b)
            continue;
        if (lastRow) {
            check(b->lower == reference && b->upper == reference);
        } else {
            // Spreads of 0..100 percent give bounds that convert, lower at least 0.
            check(boundOf(b->lower).ok());
            check(boundOf(b->upper).ok());
        }
    }

    Table main(rows, cols);
    for (int r = 1; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            main.setCell(r, c, in.next());
    std::vector<BoundTexts> bounds(boundRows);
    for (BoundTexts& b : bounds) {
        b.lower = std::string(in.next());
        b.upper = std::string(in.next());
    }

    const auto got = selectComponents(main, bounds);
    const auto want = plainSelection(main, bounds);
    check(got.ok() == want.ok());
    if (!got.ok()) {
        check(got.error().message == want.error().message);
        return 0;
    }
    check(got->noCriteria == want->noCriteria);
    check(got->rows == want->rows);
    return 0;
}
