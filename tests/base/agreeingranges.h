#pragma once
// A range whose ends agree shows as one number, so a text (a CSV cell) carries only that
// number: 100..100.00005 reads back as 100..100. A base saved from such texts differs from the
// base saved as loaded just in those ends; this puts the loaded ends into `ours`.
#include <cmath>
#include <cstring>
#include <string>

#include "base/basefile.h"
#include "base/componentbase.h"
#include "base/devicetype.h"
#include "base/recordlayout.h"

inline void takeAgreeingRangeEnds(std::string& ours, const std::string& theirs, int deviceType)
{
    using namespace veltris;
    const DeviceType* type = findDeviceType(deviceType);
    if (!type || type->rangeColumn <= 0 || ours.size() != theirs.size())
        return;
    constexpr std::size_t kEnds = record::kSlotsOffset + record::kSlotSize * record::kRangeSlotA;
    static_assert(record::kRangeSlotB == record::kRangeSlotA + 1);
    for (std::size_t r = kLeadSize; r + kRecordSize <= theirs.size(); r += kRecordSize) {
        double a = 0;
        double b = 0;
        std::memcpy(&a, theirs.data() + r + kEnds + 1, sizeof a);  // after the slot's flag byte
        std::memcpy(&b, theirs.data() + r + kEnds + record::kSlotSize + 1, sizeof b);
        if (a != b && std::fabs(a - b) <= 0.0001)
            ours.replace(r + kEnds, 2 * record::kSlotSize, theirs, r + kEnds, 2 * record::kSlotSize);
    }
}
