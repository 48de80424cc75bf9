#pragma once
// The texts of the record dialog written into one record of the main table: a new last row
// («Ввести» while adding), the blank row 1 of a new base, or a record being edited («Ввести»,
// «>», «<»). Undo takes an added row out again and gives every changed cell back exactly what it
// held: its earlier text, or its stored form from the file.
#include <string>
#include <vector>

#include "document/documentcommand.h"

class RecordCommand : public DocumentCommand {
public:
    enum class Kind {
        Add,
        Edit
    };
    // `texts`: the cells from column 0 (the name) on; `appendRow`: the texts go into a new row
    // `row`, which is then the table's last.
    RecordCommand(Document& document, Kind kind, int row, bool appendRow, std::vector<std::string> texts);

protected:
    void apply() override;
    void revert() override;

private:
    struct CellChange {
        int column;
        bool storedForm;     // the cell showed its stored form: undo reverts to it
        std::string before;  // otherwise its text
        std::string after;
    };

    Kind m_kind;
    int m_row;
    bool m_appendRow;
    std::uint32_t m_storedRow = 0;     // of the added row, kept while it is undone
    std::vector<std::string> m_texts;  // until the first apply
    std::vector<CellChange> m_changes;
};
