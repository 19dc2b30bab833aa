#include "model/OperationList.h"

#include <algorithm>
#include <limits>

#include "model/Archive.h"
#include "model/NameLookup.h"
#include "model/SetName.h"
#include "model/StoreFile.h"

namespace kivo {

namespace {

// Never reserves from the count: it may be damaged.
RecordReader OperationReader(Operations& out) {
    return [&out](Archive& archive) {
        auto operation = std::make_unique<Operation>();
        if (!operation->Serialize(archive)) return false;
        out.push_back(std::move(operation));
        return true;
    };
}

bool WriteOperations(Archive& archive, const std::vector<const Operation*>& operations) {
    if (operations.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return false;
    }
    if (!archive.WriteI32(static_cast<std::int32_t>(operations.size()))) return false;
    for (const Operation* operation : operations) {
        // Serialize does not change a record when storing.
        if (!const_cast<Operation*>(operation)->Serialize(archive)) return false;
    }
    return true;
}

std::vector<const Operation*> Borrow(const Operations& operations) {
    std::vector<const Operation*> view;
    view.reserve(operations.size());
    for (const auto& operation : operations) view.push_back(operation.get());
    return view;
}

}  // namespace

StoreRead OperationList::Load(const std::string& path) {
    return ReadStoreFile(path, OperationReader(operations));
}

StoreRead OperationList::LoadFromBytes(std::string_view bytes) {
    return ReadStoreBytes(bytes, OperationReader(operations));
}

bool OperationList::Store(Archive& archive) const {
    return WriteOperations(archive, Borrow(operations));
}

bool OperationList::Save(const std::string& path) const {
    return SaveOperations(Borrow(operations), path);
}

std::string OperationList::SaveToBytes() const { return OperationStoreBytes(Borrow(operations)); }

bool SaveOperations(const std::vector<const Operation*>& operations, const std::string& path) {
    return ReplaceStoreFile(
        path, [&operations](Archive& archive) { return WriteOperations(archive, operations); });
}

std::string OperationStoreBytes(const std::vector<const Operation*>& operations) {
    std::string bytes;
    Archive archive = Archive::StoreTo(bytes);
    WriteOperations(archive, operations);
    return bytes;
}

bool SameOptions(const Operation& a, const Operation& b) {
    return a.kind == b.kind && a.setName == b.setName && a.destination == b.destination &&
           a.overwriteMode == b.overwriteMode && a.erasePasses == b.erasePasses &&
           a.zipPassword == b.zipPassword && a.zipName == b.zipName &&
           a.zipNameByTime == b.zipNameByTime && a.flags == b.flags;
}

std::size_t FindSavedOperation(const Operations& operations, const Operation& remembered,
                               std::size_t rememberedIndex) {
    if (rememberedIndex < operations.size() &&
        SameOptions(*operations[rememberedIndex], remembered)) {
        return rememberedIndex;
    }
    for (std::size_t i = 0; i < operations.size(); ++i) {
        if (SameOptions(*operations[i], remembered)) return i;
    }
    return std::string::npos;
}

std::size_t RenameSet(Operations& operations, std::string_view oldName, std::string_view newName) {
    return RenameSet(operations, oldName, newName, {});
}

std::size_t RenameSet(Operations& operations, std::string_view oldName, std::string_view newName,
                      const std::vector<std::string>& otherSets) {
    if (SameSetName(oldName, newName)) return 0;
    std::size_t changed = 0;
    for (auto& operation : operations) {
        if (MeansSet(operation->setName, oldName, otherSets)) {
            operation->setName = std::string(newName);
            ++changed;
        }
    }
    return changed;
}

std::size_t RemoveSet(Operations& operations, std::string_view name) {
    return RemoveSet(operations, name, {});
}

std::size_t RemoveSet(Operations& operations, std::string_view name,
                      const std::vector<std::string>& otherSets) {
    const auto bound = [&](const std::unique_ptr<Operation>& operation) {
        return MeansSet(operation->setName, name, otherSets);
    };
    const std::size_t before = operations.size();
    operations.erase(std::remove_if(operations.begin(), operations.end(), bound),
                     operations.end());
    return before - operations.size();
}

}  // namespace kivo
