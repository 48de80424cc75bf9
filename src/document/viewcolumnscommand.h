#pragma once
// «Параметры просмотра» accepted: the shown list becomes the view mask and the second table.
// Undo gives back the whole mask and the second table's column count, and makes the second
// table again from them.
#include <array>
#include <cstdint>
#include <vector>

#include "base/devicetype.h"
#include "document/documentcommand.h"

class ViewColumnsCommand : public DocumentCommand {
public:
    ViewColumnsCommand(Document& document, std::vector<int> shown);

protected:
    void apply() override;
    void revert() override;

private:
    std::vector<int> m_shown;
    std::array<std::uint8_t, veltris::kMaxParamColumns> m_viewMaskBefore{};
    std::int32_t m_secondColumnsBefore = 0;
};
