#include "platform/Attributes.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/Faults.h"
#include "platform/Paths.h"

namespace kivo {

std::uint32_t AttributesFromMode(const std::string& name, unsigned mode) {
    std::uint32_t attributes = 0;
    if ((mode & S_IWUSR) == 0) attributes |= ATTR_READONLY;
    if (!name.empty() && name[0] == '.') attributes |= ATTR_HIDDEN;
    if (S_ISDIR(mode)) attributes |= ATTR_DIRECTORY;
    if (S_ISREG(mode)) attributes |= ATTR_ARCHIVE;
    if (attributes == 0) attributes = ATTR_NORMAL;
    return attributes;
}

std::uint32_t AttributesFromStat(const std::string& name, const struct stat& st) {
    return AttributesFromMode(name, st.st_mode);
}

std::uint32_t GetAttributes(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return kInvalidAttributes;
    return AttributesFromStat(BaseName(path), st);
}

bool SetAttributes(const std::string& path, std::uint32_t attributes) {
    if (faults::ShouldFail(faults::Call::SetAttributes, path.c_str())) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & ATTR_READONLY)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (mode == (st.st_mode & 07777)) return true;
    return ::chmod(path.c_str(), mode) == 0;
}

bool GetPermissions(const std::string& path, unsigned& mode) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    mode = st.st_mode & 0777;
    return true;
}

bool SetPermissions(const std::string& path, unsigned mode) {
    if (faults::ShouldFail(faults::Call::SetAttributes, path.c_str())) return false;
    return ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool CopyAttributes(const std::string& from, const std::string& to) {
    if (faults::ShouldFail(faults::Call::SetAttributes, to.c_str())) return false;
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0) return false;
    // Permission bits only: a copy made by root must not turn a user's file
    // into a set-user-id program owned by root.
    return ::chmod(to.c_str(), st.st_mode & 0777) == 0;
}

}  // namespace kivo
