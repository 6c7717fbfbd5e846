#pragma once

#include <cstdint>

namespace zentrel {

enum class Dimension : std::uint8_t { D0 = 0, D1 = 1, D2 = 2, D3 = 3 };

// Fails with "i is higher than 3, could not convert into a dimension" for 4 or more.
Dimension dimension_from_uint(std::uint64_t i);

constexpr std::uint64_t to_uint(Dimension d) { return static_cast<std::uint64_t>(d); }

// Arithmetic goes through the integers so that leaving D0..D3 fails like a conversion
// (the unsigned wrap of D0 - 1 lands far above 3).
Dimension dimension_minus(Dimension d, std::uint64_t k);
Dimension dimension_plus(Dimension d, std::uint64_t k);

}  // namespace zentrel
