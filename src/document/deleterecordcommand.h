#pragma once
// «Удалить» (F8): one record taken out of the main table. The record keeps its cells while it
// is out, so undo puts it back at its place exactly as it was.
#include <cstdint>

#include "document/documentcommand.h"

class DeleteRecordCommand : public DocumentCommand {
public:
    // `row`: a record row of the main table, which holds at least one more record.
    DeleteRecordCommand(Document& document, int row);

protected:
    void apply() override;
    void revert() override;

private:
    int m_row;
    std::uint32_t m_storedRow = 0;
};
