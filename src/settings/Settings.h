#pragma once
// The per-user settings: values of the section "Settings" under the
// organisation "KALDORWORKS" and the application's name (the executable's
// base name). A value that is missing or of another type than asked for
// reads as the default; a failed write is not reported to the user.
#include <string>

namespace kivo {

inline constexpr char kOrganisation[] = "KALDORWORKS";
inline constexpr char kSettingsSection[] = "Settings";

// Strings come back byte for byte, also those that are not UTF-8.
std::string GetSetting(const char* name, const std::string& defaultValue = std::string());
// True when the value was stored.
bool PutSetting(const char* name, const std::string& value);

// Integers are kept as unsigned 32-bit values and read back as int, so
// 0xFFFFFFFF reads as -1.
int GetSettingInt(const char* name, int defaultValue);
bool PutSettingInt(const char* name, int value);

}  // namespace kivo
