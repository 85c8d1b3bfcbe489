// An IPv4 address held in four numeric fields, one byte each, as both windows lay them out.
#pragma once

#include "core/setup_values.h"
#include "widgets/range_edit.h"

#include <array>

namespace comsetup {

using AddressFields = std::array<TRangeEdit*, 4>;

// The four bytes as the fields give them (GetValue), first byte first.
inline AddressBytes ReadAddress(const AddressFields& fields) {
    return {fields[0]->GetValue(), fields[1]->GetValue(), fields[2]->GetValue(),
            fields[3]->GetValue()};
}

inline void WriteAddress(const AddressFields& fields, const AddressBytes& address) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i]->SetValue(address[i]);
}

} // namespace comsetup
