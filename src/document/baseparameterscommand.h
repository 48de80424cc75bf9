#pragma once
// «Параметры базы» accepted: device type, column map, column count and titles, an empty view
// and the description. Undo gives back all of it and the view mask; where the column count
// changed (a new base given another device type) it gives back the main table as it was.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/componentbase.h"
#include "document/documentcommand.h"

class BaseParametersCommand : public DocumentCommand {
public:
    BaseParametersCommand(Document& document, int deviceType,
                          const std::array<std::uint8_t, veltris::kMaxParamColumns>& columnMap,
                          std::string description);
    ~BaseParametersCommand() override;

protected:
    void apply() override;
    void revert() override;

private:
    // What the step changes, before and after.
    struct Settings {
        std::uint16_t deviceType = 0;
        std::array<std::uint8_t, veltris::kMaxParamColumns> columnMap{};
        std::string description;
    };
    Settings m_after;
    Settings m_before;
    veltris::BaseHeader m_headerBefore{};
    std::array<std::uint8_t, veltris::kMaxParamColumns> m_viewMaskBefore{};
    std::int32_t m_secondColumnsBefore = 0;
    std::vector<std::string> m_titlesBefore;
    std::unique_ptr<veltris::Table> m_tableBefore;  // only when the column count changes
};
