#include <gtest/gtest.h>

#include <string>

#include "AllocationProbe.h"
#include "TempFolder.h"
#include "model/OperationList.h"
#include "platform/Faults.h"

namespace kivo {
namespace {

using testing::Bytes;

const std::string kCount1 = Bytes({0x01, 0x00, 0x00, 0x00});

// A new Copy operation on set A to D:\B, overwrite mode 0, no flags.
const std::string kCopyRecord =
    Bytes({0x01, 0x00, 0x00, 0x00, 0x01, 0x41, 0x04, 0x44, 0x3A, 0x5C, 0x42, 0x00, 0x00,
           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});

std::unique_ptr<Operation> NewCopy() {
    auto operation = std::make_unique<Operation>();
    operation->kind = OPERATION_COPY;
    operation->setName = "A";
    operation->destination = "D:\\B";
    return operation;
}

TEST(BindingStoreTest, WritesTheWorkedExampleExactly) {
    ASSERT_EQ(kCopyRecord.size(), 37u);
    OperationList list;
    list.operations.push_back(NewCopy());
    EXPECT_EQ(list.SaveToBytes(), kCount1 + kCopyRecord);
}

TEST(BindingStoreTest, LastRunIsStoredHighHalfFirst) {
    auto operation = std::make_unique<Operation>();
    operation->setName = "A";
    operation->lastRun = 0x01C4F0FDB2C71480ULL;
    const std::string bytes = OperationStoreBytes({operation.get()});
    const std::size_t at = 4 + 4 + 2 + 1 + 4 + 4 + 1 + 1 + 4;
    EXPECT_EQ(bytes.substr(at, 8), Bytes({0xFD, 0xF0, 0xC4, 0x01, 0x80, 0x14, 0xC7, 0xB2}));

    OperationList back;
    ASSERT_TRUE(back.LoadFromBytes(bytes));
    EXPECT_EQ(back.operations[0]->lastRun, 0x01C4F0FDB2C71480ULL);
}

TEST(BindingStoreTest, RoundTripKeepsEveryField) {
    auto zip = std::make_unique<Operation>();
    zip->kind = OPERATION_ZIP;
    zip->setName = "Photos";
    zip->destination = "/backup";
    zip->zipPassword = "p@ss word";
    zip->zipName = "Pics";
    zip->zipNameByTime = 1;
    zip->erasePasses = 257;
    zip->overwriteMode = 2;
    zip->flags = 0x80000005u;

    const std::string bytes = OperationStoreBytes({zip.get()});
    OperationList back;
    ASSERT_TRUE(back.LoadFromBytes(bytes));
    ASSERT_EQ(back.operations.size(), 1u);
    const Operation& z = *back.operations[0];
    EXPECT_EQ(z.kind, OPERATION_ZIP);
    EXPECT_EQ(z.destination, "/backup");
    EXPECT_EQ(z.zipPassword, "p@ss word");
    EXPECT_EQ(z.zipName, "Pics");
    EXPECT_EQ(z.erasePasses, 257u);
    EXPECT_EQ(z.flags, 0x80000005u);
    EXPECT_EQ(back.SaveToBytes(), bytes);
}

TEST(BindingStoreTest, CutInsideTheZipPasswordLoadsNothing) {
    auto zip = std::make_unique<Operation>();
    zip->kind = OPERATION_ZIP;
    zip->setName = "S";
    zip->destination = "/out";
    zip->zipPassword = "secret";
    const std::string bytes = OperationStoreBytes({zip.get()});
    const std::size_t passwordAt = 4 + 4 + 2 + 5 + 4 + 4;
    ASSERT_EQ(bytes.substr(passwordAt, 7), "\x06secret");
    for (std::size_t cut = passwordAt; cut <= passwordAt + 6; ++cut) {
        OperationList list;
        EXPECT_FALSE(list.LoadFromBytes(bytes.substr(0, cut))) << cut;
        EXPECT_TRUE(list.operations.empty()) << cut;
    }
}

TEST(BindingStoreTest, HugeCountDoesNotGrowMemory) {
    testing::AllocationProbe probe;
    OperationList list;
    list.LoadFromBytes(Bytes({0xFF, 0xFF, 0xFF, 0x7F}) + kCopyRecord + kCopyRecord);
    EXPECT_EQ(list.operations.size(), 2u);
    EXPECT_LT(probe.largest(), 4096u);
}

TEST(BindingStoreTest, FileSaveLoadAndFailedSave) {
    testing::TempFolder folder;
    faults::Guard guard;
    const std::string path = folder.File("kvbind.kvb");
    OperationList missing;
    EXPECT_FALSE(missing.Load(path));
    EXPECT_TRUE(missing.operations.empty());

    OperationList list;
    list.operations.push_back(NewCopy());
    ASSERT_TRUE(list.Save(path));
    EXPECT_EQ(testing::ReadBytes(path), kCount1 + kCopyRecord);

    list.operations.push_back(NewCopy());
    faults::Arm(faults::Call::Flush, EIO);
    EXPECT_FALSE(list.Save(path));
    EXPECT_EQ(testing::ReadBytes(path), kCount1 + kCopyRecord);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"kvbind.kvb"});

    OperationList back;
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(back.operations.size(), 1u);
}

}  // namespace
}  // namespace kivo
