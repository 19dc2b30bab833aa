// Every archive the program writes reads back with each file's time, CRC
// and sizes as written, and extracts to the original bytes.
#include <gtest/gtest.h>

#include <map>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "reader_ArchiveBytes.h"
#include "scan/ItemList.h"
#include "support/TempDir.h"
#include "zip/ExtractEntry.h"
#include "zip/ZipArchiveWriter.h"
#include "zip/format/ZipDirectory.h"

namespace kivo::zip {
namespace {

constexpr FileTime kLeapDay = 133536756300000000ull;  // 2024-02-29 10:20:30 UTC

TEST(InteropReadWriterTest, WrittenArchivesReadBackAsWritten) {
    test::TempDir dir;
    const std::map<std::string, std::string> files = {
        {"a.txt", std::string(100000, 'a') + "end"},
        {"empty.txt", ""},
        {"Docs/sub/b.txt", "bee"},
        {"Docs/c.bin", std::string("\0\1\2\3\xFF", 5)},
    };
    for (const std::string& password : {std::string(), std::string("pw")}) {
        const std::string root = dir / ("src" + password);
        ItemList items;
        for (const auto& [name, content] : files) {
            const std::string path = root + "/" + name;
            test::WriteFile(path, content);
            ASSERT_TRUE(SetPathTimes(path, kLeapDay, kLeapDay));
            FindData data;
            ASSERT_TRUE(GetFindData(path, data));
            ItemRecord record;
            record.path = path;
            record.relativeStart = static_cast<std::uint32_t>(root.size() + 1);
            record.size = data.size;
            record.lastWriteTime = data.lastWriteTime;
            record.lastAccessTime = data.lastAccessTime;
            record.creationTime = data.creationTime;
            ASSERT_TRUE(items.Add(record));
        }
        const std::string archive = dir / ("out" + password + ".zip");
        ZipArchiveWriter writer;
        ASSERT_NE(writer.Build(items, password.data(), password.size(), archive, nullptr), 0);
        const std::string bytes = test::ReadFile(archive);

        ZipDirectory directory;
        ASSERT_NE(directory.Load(archive), 0);
        std::size_t seen = 0;
        ZipProgress progress;
        for (const auto& entry : directory.Entries()) {
            if (entry->isFolder) continue;
            ++seen;
            const std::string& content = files.at(entry->name);
            EXPECT_EQ(entry->time, kLeapDay) << entry->name;
            EXPECT_EQ(entry->crc, test::CrcOf(content)) << entry->name;
            EXPECT_EQ(entry->uncompressedSize, content.size()) << entry->name;
            EXPECT_EQ(entry->encrypted, !password.empty()) << entry->name;
            // The local header the writer put at this offset agrees.
            const auto* local = reinterpret_cast<const unsigned char*>(bytes.data()) + entry->offset;
            ASSERT_EQ(GetU32(local), kLocalFileHeaderSignature);
            EXPECT_EQ(GetU32(local + 14), entry->crc);
            EXPECT_EQ(GetU32(local + 18), entry->compressedSize);
            EXPECT_EQ(GetU32(local + 22), entry->uncompressedSize);

            const std::string target = dir / ("x" + password);
            EXPECT_EQ(ExtractEntry(*entry, directory.ArchiveFile(), target, "", &password, progress,
                                   false),
                      kExtractOk)
                << entry->name;
            EXPECT_EQ(test::ReadFile(target + "/" + entry->name), content) << entry->name;
        }
        EXPECT_EQ(seen, files.size());
    }
}

}  // namespace
}  // namespace kivo::zip
