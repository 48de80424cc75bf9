#include "document/documentcommand.h"

#include "ui/cptext.h"

DocumentCommand::DocumentCommand(Document& document, const QString& text)
    : QUndoCommand(text), m_document(document)
{}

void DocumentCommand::redo()
{
    apply();
    m_replaying = true;
}

void DocumentCommand::undo()
{
    revert();
}

QString DocumentCommand::recordTitle(std::string_view cp1251Name)
{
    const QString name = cpToQString(cp1251Name).trimmed();
    return name.isEmpty() ? QStringLiteral("записи без имени") : name;
}
