#include "document/sortcommand.h"

#include "document/document.h"

SortCommand::SortCommand(Document& document, std::vector<std::uint32_t> permutation, const QString& title)
    : DocumentCommand(document, title.isEmpty() ? QStringLiteral("сортировку по имени")
                                                : QStringLiteral("сортировку по столбцу «%1»").arg(title)),
      m_permutation(std::move(permutation))
{}

void SortCommand::apply()
{
    Document& doc = document();
    if (!replaying()) {
        emit doc.mainTableChanged();  // the sort itself has been made
        return;
    }
    doc.base().table.permuteStoredOrder(m_permutation);
    emit doc.mainTableChanged();
    emit doc.recordTouched(0);
}

void SortCommand::revert()
{
    Document& doc = document();
    std::vector<std::uint32_t> inverse(m_permutation.size());
    for (std::size_t i = 0; i < m_permutation.size(); ++i)
        inverse[m_permutation[i]] = static_cast<std::uint32_t>(i);
    doc.base().table.permuteStoredOrder(inverse);
    emit doc.mainTableChanged();
    emit doc.recordTouched(0);
}
