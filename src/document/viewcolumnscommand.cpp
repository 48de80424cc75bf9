#include "document/viewcolumnscommand.h"

#include "document/document.h"

ViewColumnsCommand::ViewColumnsCommand(Document& document, std::vector<int> shown)
    : DocumentCommand(document, QStringLiteral("изменение параметров просмотра")), m_shown(std::move(shown))
{}

void ViewColumnsCommand::apply()
{
    Document& doc = document();
    if (!replaying()) {
        m_viewMaskBefore = doc.base().viewMask;
        m_secondColumnsBefore = doc.base().secondColumnCount;
    }
    doc.applyShownList(m_shown);
}

void ViewColumnsCommand::revert()
{
    Document& doc = document();
    doc.base().viewMask = m_viewMaskBefore;
    doc.base().secondColumnCount = m_secondColumnsBefore;
    doc.remakeSecondTable();
}
