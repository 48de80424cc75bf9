#include "base/substitute/judge.h"

#include "base/substitute/find.h"
#include "base/substitute/query.h"
#include "base/substitute/source.h"

namespace veltris::substitute {

void describeMisses(const JudgePlan& plan, FinderMatch& m, std::size_t at, const double* lo, const double* hi,
                    const std::uint8_t* known)
{
    constexpr std::size_t kBlock = kJudgeBlock;
    double shortfall = 0;
    std::size_t slot = 0;
    for (std::uint32_t bits = m.failMask; bits != 0; bits &= bits - 1) {
        const auto j = static_cast<std::size_t>(std::countr_zero(bits));
        const PreparedRule& p = plan.rules[j];
        double miss = kCodeMiss;
        float percent = NAN;
        if (m.unknownMask >> j & 1u) {
            miss = kUnknownMiss;  // a figure it must give and does not («обязательно известно»)
        } else if (p.numeric && p.label) {
            miss = kPackageMiss;
        } else if (p.numeric) {
            const std::size_t i = j * kBlock + at;
            miss = cellMiss(p.target, known[i], lo[i], hi[i]);
            percent = static_cast<float>(
                cellDeviation(p.target, p.referenceLow, p.referenceHigh, known[i], lo[i], hi[i]));
        }
        shortfall = std::max(shortfall, miss);
        if (slot < kShownMisses)
            m.missPercent[slot++] = percent;
    }
    for (; slot < kShownMisses; ++slot)
        m.missPercent[slot] = NAN;
    if (plan.unknownFails && m.unknownMask != 0)
        shortfall = std::max(shortfall, kUnknownMiss);
    m.shortfall = shortfall;
}

int leadOf(const JudgePlan& plan, std::size_t at, const double* lo, const double* hi,
           const std::uint8_t* known)
{
    constexpr int kFarthest = 1 << 20;
    const auto j = static_cast<std::size_t>(plan.leadRule);
    const PreparedRule& p = plan.rules[j];
    const std::size_t i = j * kJudgeBlock + at;
    if (!p.numeric || (known[i] & kKnownEnds) == 0)
        return kFarthest;
    const double reference = 0.5 * (std::log(p.referenceLow) + std::log(p.referenceHigh));
    const double size = std::fabs(logRepresentative(lo[i], hi[i]) - reference);
    return static_cast<int>(std::min(size / 0.01, static_cast<double>(kFarthest)));
}

}  // namespace veltris::substitute

namespace veltris {

using namespace substitute;

bool judgeSource(const FinderQuery& query, const FinderSource& source, int baseIndex, int excludeRow,
                 std::vector<FinderMatch>& out, const FinderProgress& progress)
{
    const JudgePlan plan = prepare(query, [&](int c) {
        const FinderSource::Column& col = source.column(c);
        return ColumnHead{col.built, col.text, col.unit};
    });
    const int rows = source.rowCount();
    JudgeSpace space(plan.rules.size());
    const SourceCells cells(source);
    return judgeRows(
        plan, cells, rows, baseIndex, excludeRow, out,
        [&](int from) {
            return !progress || progress(static_cast<std::size_t>(from), static_cast<std::size_t>(rows));
        },
        [&](std::size_t first) { nameMatches(cells, out, first); }, space);
}

}  // namespace veltris
