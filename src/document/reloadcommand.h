#pragma once
// «Загрузить заново»: the base as the file on disk holds it now in place of the base in memory.
// The step keeps the other base (the one given up while it is done, the one read while it is
// undone) and trades places with it: undo brings back the unsaved changes as they were, redo
// the file's content again. Nothing is copied; the base and its second table move.
#include "base/componentbase.h"
#include "base/table.h"
#include "document/documentcommand.h"

class ReloadCommand : public DocumentCommand {
public:
    // `read`: the base read from the file, with the second table made for it.
    ReloadCommand(Document& document, veltris::ComponentBase read, veltris::Table readSecond);

protected:
    void apply() override;
    void revert() override;

private:
    void trade();

    veltris::ComponentBase m_other;
    veltris::Table m_otherSecond;
};
