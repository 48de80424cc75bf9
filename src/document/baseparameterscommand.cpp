#include "document/baseparameterscommand.h"

#include "base/devicetype.h"
#include "document/document.h"

BaseParametersCommand::BaseParametersCommand(
    Document& document, int deviceType, const std::array<std::uint8_t, veltris::kMaxParamColumns>& columnMap,
    std::string description)
    : DocumentCommand(document, QStringLiteral("изменение параметров базы"))
{
    m_after.deviceType = static_cast<std::uint16_t>(deviceType);
    m_after.columnMap = columnMap;
    m_after.description = std::move(description);
}

BaseParametersCommand::~BaseParametersCommand() = default;

void BaseParametersCommand::apply()
{
    Document& doc = document();
    veltris::ComponentBase& base = doc.base();
    const int columns = veltris::tableColumnCount(m_after.deviceType);
    if (!replaying()) {
        m_before.deviceType = base.deviceType;
        m_before.columnMap = base.columnMap;
        m_headerBefore = base.header;
        m_viewMaskBefore = base.viewMask;
        m_secondColumnsBefore = base.secondColumnCount;
        for (int c = 0; c < base.table.columnCount(); ++c)
            m_titlesBefore.push_back(base.table.cell(0, c));
        // Columns cut off take their cells with them: keep the table (its columns are shared,
        // not copied).
        if (columns != base.table.columnCount())
            m_tableBefore = std::make_unique<veltris::Table>(base.table);
    }
    base.deviceType = m_after.deviceType;
    base.columnMap = m_after.columnMap;
    base.table.setColumnCount(columns);
    base.applyTitles(doc.catalogue());
    emit doc.mainColumnsChanged();
    doc.applyShownList({});
    base.setDescription(m_after.description);
}

void BaseParametersCommand::revert()
{
    Document& doc = document();
    veltris::ComponentBase& base = doc.base();
    if (m_tableBefore) {
        base.table = *m_tableBefore;
    } else {
        for (int c = 0; c < static_cast<int>(m_titlesBefore.size()); ++c)
            base.table.setCell(0, c, m_titlesBefore[static_cast<size_t>(c)]);
    }
    base.deviceType = m_before.deviceType;
    base.columnMap = m_before.columnMap;
    base.header = m_headerBefore;
    base.viewMask = m_viewMaskBefore;
    base.secondColumnCount = m_secondColumnsBefore;
    emit doc.mainColumnsChanged();
    doc.remakeSecondTable();
}
