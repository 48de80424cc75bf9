#include "document/sortcommand.h"

#include "document/document.h"

SortCommand::SortCommand(Document& document, std::vector<std::uint32_t> permutation, const QString& title)
    : DocumentCommand(document, title.isEmpty() ? QStringLiteral("сортировку по имени")
                                                : QStringLiteral("сортировку по столбцу «%1»").arg(title)),
      m_permutation(std::move(permutation))
{}

namespace {

// The row that data row `row` (1..) moves to when new row i+1 takes earlier row order[i]+1;
// 0 for none.
int rowAfter(const std::vector<std::uint32_t>& order, int row)
{
    for (std::size_t i = 0; i < order.size(); ++i)
        if (order[i] + 1 == static_cast<std::uint32_t>(row))
            return static_cast<int>(i) + 1;
    return 0;
}

}  // namespace

void SortCommand::apply()
{
    Document& doc = document();
    // The current record stays the same part, wherever the sort puts it.
    const int current = rowAfter(m_permutation, doc.currentRecord());
    if (replaying())
        doc.base().table.permuteStoredOrder(m_permutation);  // else the sort itself has been made
    emit doc.mainTableChanged();
    if (replaying())
        emit doc.recordTouched(0);
    if (current > 0)
        doc.setCurrentRecord(current);
}

void SortCommand::revert()
{
    Document& doc = document();
    const int before = doc.currentRecord();
    const int current = before >= 1 && static_cast<std::size_t>(before) <= m_permutation.size()
                            ? int(m_permutation[before - 1]) + 1
                            : 0;
    std::vector<std::uint32_t> inverse(m_permutation.size());
    for (std::size_t i = 0; i < m_permutation.size(); ++i)
        inverse[m_permutation[i]] = static_cast<std::uint32_t>(i);
    doc.base().table.permuteStoredOrder(inverse);
    emit doc.mainTableChanged();
    emit doc.recordTouched(0);
    if (current > 0)
        doc.setCurrentRecord(current);
}
