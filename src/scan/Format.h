#pragma once
// The count and size texts every window and kivo-cli show.
#include <cstdint>
#include <string>

namespace kivo {

// Decimal with ',' between groups of three digits: 1234567 -> "1,234,567".
std::string FormatCount(std::uint64_t n);

// Below 1,024 bytes the count alone, then "%.1lf KB", "%.1lf MB", "%.1lf GB".
std::string FormatSize(std::uint64_t bytes);

}  // namespace kivo
