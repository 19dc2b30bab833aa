// What loading a store tells about it, for both kinds of store: every cut,
// bytes after the end, and counts the file can not hold.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "model/OperationList.h"
#include "model/SetList.h"
#include "platform/Faults.h"

namespace kivo {
namespace {

// One kind of store: its bytes with four records, where each record ends,
// and how to load bytes or a file of it.
struct StoreKind {
    const char* name;
    std::string bytes;
    std::vector<std::size_t> recordEnds;
    std::function<StoreRead(const std::string& path, std::size_t& loaded)> loadFile;
};

StoreKind SetStoreKind() {
    SetList list;
    StoreKind kind{"set store", {}, {}, {}};
    for (const char* name : {"A", "Bee", "C", "D"}) {
        auto set = std::make_unique<FileSet>();
        set->name = name;
        auto entry = std::make_unique<SetEntry>();
        entry->path = std::string("/data/") + name;
        entry->patterns = {"*.txt", "*.md"};
        set->entries.push_back(std::move(entry));
        list.sets.push_back(std::move(set));
        kind.recordEnds.push_back(list.SaveToBytes().size());
    }
    kind.bytes = list.SaveToBytes();
    kind.loadFile = [](const std::string& path, std::size_t& loaded) {
        SetList sets;
        const StoreRead read = sets.Load(path);
        loaded = sets.sets.size();
        return read;
    };
    return kind;
}

StoreKind BindingStoreKind() {
    OperationList list;
    StoreKind kind{"binding store", {}, {}, {}};
    for (const char* name : {"A", "Bee", "C", "D"}) {
        auto operation = std::make_unique<Operation>();
        operation->kind = OPERATION_ZIP;
        operation->setName = name;
        operation->destination = "/backup";
        operation->zipPassword = "secret";
        list.operations.push_back(std::move(operation));
        kind.recordEnds.push_back(list.SaveToBytes().size());
    }
    kind.bytes = list.SaveToBytes();
    kind.loadFile = [](const std::string& path, std::size_t& loaded) {
        OperationList operations;
        const StoreRead read = operations.Load(path);
        loaded = operations.operations.size();
        return read;
    };
    return kind;
}

std::string WithCount(std::string bytes, std::uint32_t count) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    return bytes;
}

TEST(StoreDamageTest, EveryCutAndEveryExcessIsDamageWithTheRecordsBeforeIt) {
    testing::TempFolder folder;
    const std::string path = folder.File("store");
    for (const StoreKind& kind : {SetStoreKind(), BindingStoreKind()}) {
        std::size_t loaded = 0;
        EXPECT_EQ(kind.loadFile(folder.File("none"), loaded).state, StoreState::Missing) << kind.name;

        // Cut at every length: at a record boundary and inside a record.
        for (std::size_t size = 0; size <= kind.bytes.size(); ++size) {
            testing::WriteBytes(path, kind.bytes.substr(0, size));
            const StoreRead read = kind.loadFile(path, loaded);
            std::size_t whole = 0;
            for (std::size_t end : kind.recordEnds) whole += end <= size ? 1 : 0;
            const StoreState expected = size == 0                  ? StoreState::Empty
                                        : size == kind.bytes.size() ? StoreState::Whole
                                                                    : StoreState::Damaged;
            EXPECT_EQ(read.state, expected) << kind.name << ", " << size << " bytes";
            EXPECT_EQ(read.records, whole) << kind.name << ", " << size << " bytes";
            EXPECT_EQ(loaded, whole) << kind.name << ", " << size << " bytes";
        }

        const struct {
            const char* what;
            std::string bytes;
            std::size_t records;
        } damaged[] = {
            {"one byte after the end", kind.bytes + "x", 4},
            {"a whole record after the end", WithCount(kind.bytes, 3), 3},
            {"a huge count", WithCount(kind.bytes, 0x7FFFFFFF), 4},
            {"a negative count", WithCount(kind.bytes, 0xFFFFFFFF), 0},
            {"a count alone, cut", kind.bytes.substr(0, 3), 0},
        };
        for (const auto& c : damaged) {
            testing::WriteBytes(path, c.bytes);
            const StoreRead read = kind.loadFile(path, loaded);
            EXPECT_EQ(read.state, StoreState::Damaged) << kind.name << ", " << c.what;
            EXPECT_EQ(read.records, c.records) << kind.name << ", " << c.what;
            EXPECT_EQ(loaded, c.records) << kind.name << ", " << c.what;
        }
    }
}

TEST(StoreDamageTest, AStoreThatCanNotBeReadIsNoFirstRun) {
    testing::TempFolder folder;
    const std::string path = folder.File("kivos.kvd");
    testing::WriteBytes(path, SetStoreKind().bytes);
    faults::Guard guard;
    const struct {
        faults::Call call;
        int error;
        StoreState state;
    } cases[] = {
        {faults::Call::Open, ENOENT, StoreState::Missing},
        {faults::Call::Open, EIO, StoreState::Damaged},
        {faults::Call::Read, EIO, StoreState::Damaged},
    };
    for (const auto& c : cases) {
        faults::Arm(c.call, c.error, 1, 0, "kivos.kvd");
        SetList sets;
        EXPECT_EQ(sets.Load(path).state, c.state) << c.error;
        EXPECT_TRUE(sets.sets.empty());
        faults::Reset();
    }
}

// A record of every kind with the given modes, between two sound ones.
std::string ThreeOperations(std::int32_t kind, std::int32_t overwriteMode, int emptyFolderMode) {
    OperationList list;
    for (int i = 0; i < 3; ++i) {
        auto operation = std::make_unique<Operation>();
        operation->kind = i == 1 ? kind : OPERATION_COPY;
        operation->setName = "S" + std::to_string(i);
        if (i == 1) {
            operation->overwriteMode = overwriteMode;
            operation->flags = WithEmptyFolderMode(kFlagSkipIfMissing, emptyFolderMode);
        }
        list.operations.push_back(std::move(operation));
    }
    return list.SaveToBytes();
}

TEST(StoreDamageTest, AModeNoDialogWritesIsDamageNotAKnownMode) {
    const struct {
        std::int32_t kind;
        std::int32_t overwriteMode;
        int emptyFolderMode;
        bool damaged;
    } cases[] = {
        {OPERATION_COPY, 99, 0, true},
        {OPERATION_COPY, -1, 0, true},
        {OPERATION_COPY, 3, 0, true},
        {OPERATION_MOVE, 99, 0, true},
        {OPERATION_MOVE, 2, 3, true},
        {OPERATION_DELETE, 0, 3, true},
        {OPERATION_COPY, 2, 3, false},    // Copy has no empty-folder mode
        {OPERATION_DELETE, 99, 2, false},  // nor Delete an overwrite mode
        {OPERATION_ZIP, 99, 3, false},
        {OPERATION_MOVE, 2, 2, false},
        {OPERATION_COPY, 0, 0, false},
    };
    for (const auto& c : cases) {
        OperationList loaded;
        const StoreRead read = loaded.LoadFromBytes(ThreeOperations(c.kind, c.overwriteMode, c.emptyFolderMode));
        const std::string what = "kind " + std::to_string(c.kind) + ", modes " +
                                 std::to_string(c.overwriteMode) + "/" + std::to_string(c.emptyFolderMode);
        EXPECT_EQ(read.state, c.damaged ? StoreState::Damaged : StoreState::Whole) << what;
        // As with any damaged record: the ones before it stay, it and the
        // ones after do not.
        EXPECT_EQ(read.records, c.damaged ? 1u : 3u) << what;
        ASSERT_EQ(loaded.operations.size(), read.records) << what;
        EXPECT_EQ(loaded.operations[0]->setName, "S0") << what;
    }
}

TEST(StoreDamageTest, AnEntryThatIsNoFullPathIsKeptAndMakesTheStoreDamaged) {
    const struct {
        const char* path;
        StoreState state;
    } cases[] = {
        {"docs", StoreState::Damaged},
        {".", StoreState::Damaged},
        {"../up", StoreState::Damaged},
        {"D:\\X", StoreState::Damaged},
        {"", StoreState::Whole},  // an empty entry names nothing and is passed over
        {"/data/docs", StoreState::Whole},
    };
    for (const auto& c : cases) {
        SetList list;
        for (const char* name : {"A", "B"}) {
            auto set = std::make_unique<FileSet>();
            set->name = name;
            auto entry = std::make_unique<SetEntry>();
            entry->path = std::string(name) == "B" ? c.path : "/data/a";
            set->entries.push_back(std::move(entry));
            list.sets.push_back(std::move(set));
        }
        const std::string bytes = list.SaveToBytes();
        testing::TempFolder folder;
        testing::WriteBytes(folder.File("kivos.kvd"), bytes);
        for (const bool fromFile : {false, true}) {
            SetList loaded;
            loaded.sets.push_back(std::make_unique<FileSet>());  // already there: not checked again
            loaded.sets[0]->entries.push_back(std::make_unique<SetEntry>());
            loaded.sets[0]->entries[0]->path = "rel";
            const StoreRead read = fromFile ? loaded.Load(folder.File("kivos.kvd")) : loaded.LoadFromBytes(bytes);
            EXPECT_EQ(read.state, c.state) << c.path << (fromFile ? " (file)" : "");
            EXPECT_EQ(read.records, 2u) << c.path;
            ASSERT_EQ(loaded.sets.size(), 3u) << c.path;
            EXPECT_EQ(loaded.sets[2]->entries[0]->path, c.path);
        }
    }
}

}  // namespace
}  // namespace kivo
