#pragma once
// A 32-bit attribute word derived from a file's mode and name, so the
// operations can keep the rules they state in terms of attributes.
#include <cstdint>
#include <string>

namespace kivo {

constexpr std::uint32_t ATTR_READONLY = 0x1;
constexpr std::uint32_t ATTR_HIDDEN = 0x2;
constexpr std::uint32_t ATTR_DIRECTORY = 0x10;
constexpr std::uint32_t ATTR_ARCHIVE = 0x20;
constexpr std::uint32_t ATTR_NORMAL = 0x80;
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// The attribute word of a file named `name` (its last component) whose
// st_mode is `mode`.
std::uint32_t AttributesFromMode(const std::string& name, unsigned mode);

// Attributes of the file a path names (links followed); kInvalidAttributes
// and errno set when it cannot be reached.
std::uint32_t GetAttributes(const std::string& path);

// ATTR_NORMAL alone gives the owner write permission. A word carrying
// ATTR_READONLY takes the owner's write permission away. Fails through
// fault injection point SetAttributes.
bool SetAttributes(const std::string& path, std::uint32_t attributes);

// The permission bits (0777) of the file a path names, links followed;
// false when it cannot be reached.
bool GetPermissions(const std::string& path, unsigned& mode);

// Sets the permission bits of a path (links followed); fails through fault
// point SetAttributes.
bool SetPermissions(const std::string& path, unsigned mode);

// Gives `to` the permission bits of `from` (a destination takes its
// source's attributes this way).
bool CopyAttributes(const std::string& from, const std::string& to);

}  // namespace kivo
