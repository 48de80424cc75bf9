#pragma once
// A sort of the main table by one column. The rows are an order over the stored records, so the
// step keeps only the permutation the sort made (four bytes a record), not the table: undo puts
// the rows back in their earlier order by the inverse permutation. A sort does not set the
// modified flag.
#include <cstdint>
#include <vector>

#include "document/documentcommand.h"

class SortCommand : public DocumentCommand {
public:
    // The main table was just sorted: its new data row i+1 is its earlier data row
    // permutation[i]+1. `title`: the sort column's title, empty for the name column.
    SortCommand(Document& document, std::vector<std::uint32_t> permutation, const QString& title);

    bool setsModified() const override { return false; }

protected:
    void apply() override;
    void revert() override;

private:
    std::vector<std::uint32_t> m_permutation;
};
