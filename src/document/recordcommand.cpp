#include "document/recordcommand.h"

#include <algorithm>

#include "document/document.h"

RecordCommand::RecordCommand(Document& document, Kind kind, int row, bool appendRow,
                             std::vector<std::string> texts)
    : DocumentCommand(document,
                      (kind == Kind::Add ? QStringLiteral("добавление %1") : QStringLiteral("изменение %1"))
                          .arg(recordTitle(texts.empty() ? std::string() : texts.front()))),
      m_kind(kind), m_row(row), m_appendRow(appendRow), m_texts(std::move(texts))
{}

void RecordCommand::apply()
{
    Document& doc = document();
    veltris::Table& t = doc.base().table;
    if (m_appendRow) {
        if (replaying()) {
            // The row keeps its texts while it is out of the table.
            t.attachRow(m_row, m_storedRow);
            emit doc.mainTableChanged();
            emit doc.recordTouched(m_row);
            return;
        }
        t.setRowCount(std::max(t.rowCount(), 1) + 1);
        m_storedRow = t.storedRow(m_row);
        emit doc.mainTableChanged();
    }
    // The record becomes current before its texts reach it, as a row change does.
    if (m_appendRow || m_kind == Kind::Add || replaying())
        emit doc.recordTouched(m_row);

    if (replaying()) {
        for (const CellChange& c : m_changes)
            t.setCell(m_row, c.column, c.after);
    } else {
        const int count = std::min(static_cast<int>(m_texts.size()), t.columnCount());
        for (int col = 0; col < count; ++col) {
            const std::string& text = m_texts[static_cast<size_t>(col)];
            std::string before = t.cell(m_row, col);
            if (before == text)
                continue;
            if (!m_appendRow) {
                const bool storedForm = t.column(col).kind != veltris::CellKind::Text &&
                                        t.editedText(t.storedRow(m_row), col) == nullptr;
                m_changes.push_back({col, storedForm, std::move(before), text});
            }
            t.setCell(m_row, col, text);
        }
        m_texts = {};
    }
    emit doc.mainTableChanged();
}

void RecordCommand::revert()
{
    Document& doc = document();
    veltris::Table& t = doc.base().table;
    if (m_appendRow) {
        t.detachRow(m_row);
        emit doc.mainTableChanged();
        emit doc.recordTouched(std::min(m_row, t.rowCount() - 1));
        return;
    }
    for (std::size_t k = m_changes.size(); k-- > 0;) {  // the last change first
        const auto& c = m_changes[k];
        if (c.storedForm)
            t.revertCell(m_row, c.column);
        else
            t.setCell(m_row, c.column, c.before);
    }
    emit doc.mainTableChanged();
    emit doc.recordTouched(m_row);
}
