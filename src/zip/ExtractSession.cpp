#include "zip/ExtractSession.h"

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "model/StringTable.h"
#include "platform/Attributes.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SymbolicLinks.h"
#include "platform/Paths.h"
#include "platform/PrivateTemp.h"
#include "zip/ExtractEntry.h"

namespace kivo::zip {

namespace {

std::mutex hookMutex;
ExtractActHook actHook;

}  // namespace

void SetExtractActHookForTesting(ExtractActHook hook) {
    const std::lock_guard<std::mutex> lock(hookMutex);
    actHook = std::move(hook);
}

void RunExtractActHook(const std::string& entryName) {
    ExtractActHook hook;
    {
        const std::lock_guard<std::mutex> lock(hookMutex);
        hook = actHook;
    }
    if (hook) hook(entryName);
}

bool SplitEntryName(std::string_view relative, std::vector<std::string>& out) {
    out.clear();
    for (const std::string_view component : SplitComponents(relative)) {
        if (component == "..") return false;
        if (component == ".") continue;
        out.emplace_back(component);
    }
    return true;
}

ExtractSession::ExtractSession(const std::string& targetFolder)
    : target_(NormalizedPath(targetFolder)) {}

std::error_code ExtractSession::Reach(const std::vector<std::string>& components, std::size_t count,
                                      bool create, const FolderHandle*& out) {
    // Without a folder the walk would start wherever the process is.
    if (target_.empty()) return ErrnoCode(ENOENT);
    // The target is the user's choice, made (through links, as named) the
    // first time it is needed; everything below it is made by the walk.
    if (!targetMade_) {
        if (!IsFolder(target_) && MakeFolders(target_) != 0) return ErrnoCode(ENOENT);
        targetMade_ = true;
    }
    std::vector<std::string_view> names(components.begin(), components.begin() + count);
    FolderChain::Walk walk;
    walk.create = create;
    return chain_.Reach(target_, names, walk, out);
}

std::error_code ExtractSession::ReachParent(const std::vector<std::string>& components, bool create,
                                            const FolderHandle*& parent, FolderHandle& folder) {
    const std::size_t depth = components.size() - 1;
    if (depth == 0) {
        // At the top: the target itself, which the user chose.
        if (std::error_code error = Reach(components, 0, false, parent)) return error;
        return parent->Duplicate(folder);
    }
    if (std::error_code error = Reach(components, depth - 1, create, parent)) return error;
    const std::string& name = components[depth - 1];
    if (create) {
        const std::error_code made = parent->MakeFolder(name);
        if (made && made.value() != EEXIST) return made;
    }
    return parent->OpenChild(name, folder);
}

bool ExtractSession::IsPendingLink(const std::vector<std::string>& components) const {
    for (const PendingLink& link : links_)
        if (link.components == components) return true;
    return false;
}

bool ExtractSession::LinkStaysInside(const PendingLink& link) {
    if (link.target.empty() || link.target.front() == '/' ||
        link.target.find('\0') != std::string::npos)
        return false;
    // Resolved from the link's folder, one step at a time; each folder
    // passed through must be a real one, now and after this archive's own
    // links are made (a link of the archive that looks harmless alone may
    // be the step another one climbs out by).
    std::vector<std::string> resolved(link.components.begin(), link.components.end() - 1);
    for (const std::string_view step : SplitComponents(link.target)) {
        if (step == ".") continue;
        if (step == "..") {
            if (resolved.empty()) return false;  // above the target
            resolved.pop_back();
            continue;
        }
        resolved.emplace_back(step);
        if (IsPendingLink(resolved)) return false;
        const FolderHandle* folder = nullptr;
        if (Reach(resolved, resolved.size() - 1, false, folder)) {
            // Not there as real folders: nothing of it is a link now, and
            // the archive's links were checked above.
            continue;
        }
        FindData data;
        if (!folder->Stat(resolved.back(), data) && data.isLink) return false;
    }
    return true;
}

int ExtractSession::MakeLink(const PendingLink& link) {
    const FolderHandle* parent = nullptr;
    FolderHandle folder;
    if (ReachParent(link.components, false, parent, folder)) return kExtractCannotCreate;
    const std::string& name = link.components.back();
    FindData existing;
    const bool exists = !folder.Stat(name, existing);
    if (exists && (existing.attributes & ATTR_DIRECTORY) != 0 && !existing.isLink) return kExtractCannotCreate;
    // Made under a hidden name and renamed into place, so an existing file
    // of that name is replaced at once and never through the link.
    std::string hidden;
    std::error_code made;
    for (int attempt = 0; attempt < 100; ++attempt) {
        hidden = std::string(kExtractTempPrefix) + std::to_string(attempt) + "-" + name;
        if (hidden.size() > 255) hidden = std::string(kExtractTempPrefix) + std::to_string(attempt);
        made = MakeLinkAt(folder, hidden, link.target);
        if (!made || made.value() != EEXIST) break;
    }
    if (made) return kExtractCannotCreate;
    if (folder.Rename(hidden, folder, name)) {
        folder.Remove(hidden);
        return kExtractCannotCreate;
    }
    if (link.time != 0) folder.SetTimes(name, link.time, link.time);
    return kExtractOk;
}

int ExtractSession::WriteLinkAsFile(const PendingLink& link) {
    const FolderHandle* parent = nullptr;
    FolderHandle folder;
    if (ReachParent(link.components, false, parent, folder)) return kExtractCannotCreate;
    PrivateTemp temp;
    if (temp.Create(folder, link.components.back(), kExtractTempPrefix)) return kExtractCannotCreate;
    if (!temp.file().Write(link.target.data(), link.target.size())) return kExtractWriteError;
    if (!temp.file().SetMode(0666 & ~CurrentUmask())) return kExtractWriteError;
    if (link.time != 0) temp.file().SetTimes(link.time, link.time);
    std::error_code named = temp.LinkAsNew();
    if (named.value() == EEXIST) named = temp.Replace();
    return named ? kExtractCannotCreate : kExtractOk;
}

int ExtractSession::Finish(RunSink* notices, std::string& failedName) {
    int code = kExtractOk;
    // Every link is judged with all of the archive's links known, and the
    // safe ones are made only after that.
    std::vector<bool> inside;
    for (const PendingLink& link : links_) inside.push_back(LinkStaysInside(link));
    for (std::size_t i = 0; i < links_.size() && code == kExtractOk; ++i) {
        if (inside[i]) {
            code = MakeLink(links_[i]);
        } else {
            if (notices) notices->Notice(FormatText(IDS_NOTICE_LINK_AS_FILE, links_[i].entryName));
            code = WriteLinkAsFile(links_[i]);
        }
        if (code != kExtractOk) failedName = links_[i].entryName;
    }
    links_.clear();

    // Deepest first: a folder becomes read-only only when nothing more is
    // to be made inside it.
    std::stable_sort(folders_.begin(), folders_.end(),
                     [](const PendingFolder& a, const PendingFolder& b) {
                         return a.components.size() > b.components.size();
                     });
    for (const PendingFolder& pending : folders_) {
        const FolderHandle* parent = nullptr;
        if (Reach(pending.components, pending.components.size() - 1, false, parent)) continue;
        // Never through a link: SetMode refuses one.
        parent->SetMode(pending.components.back(), pending.mode);
    }
    folders_.clear();
    chain_.Reset();
    targetMade_ = false;
    return code;
}

}  // namespace kivo::zip
