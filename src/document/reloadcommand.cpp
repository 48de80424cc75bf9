#include "document/reloadcommand.h"

#include <utility>

#include "document/document.h"

ReloadCommand::ReloadCommand(Document& document, veltris::ComponentBase read, veltris::Table readSecond)
    : DocumentCommand(document, QStringLiteral("загрузку заново")), m_other(std::move(read)),
      m_otherSecond(std::move(readSecond))
{}

void ReloadCommand::apply()
{
    trade();
}

void ReloadCommand::revert()
{
    trade();
}

void ReloadCommand::trade()
{
    Document& doc = document();
    std::swap(doc.base(), m_other);
    std::swap(doc.secondTable(), m_otherSecond);
    emit doc.baseReplaced(Document::Origin::File);
}
