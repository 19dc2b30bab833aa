// The kernel's copy between two open files and the paced write-back of a
// file written front to back, each with the fallbacks taken where the
// kernel declines.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/Faults.h"
#include "platform/File.h"
#include "platform/WriteBehind.h"
#include "support/TempDir.h"

namespace kivo {
namespace {

std::string Pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131) ^ (i >> 9));
    return s;
}

// Copies `source` to `target` in calls of at most `step`, finishing with
// read and write where the kernel declines, as Copy does.
std::string CopyThrough(const std::string& source, const std::string& target, std::size_t step,
                        unsigned& kernelCalls) {
    File in, out;
    EXPECT_TRUE(in.Open(source, File::Mode::Read));
    EXPECT_TRUE(out.Open(target, File::Mode::CreateTruncate));
    kernelCalls = 0;
    for (;;) {
        std::size_t copied = 0;
        const File::KernelCopy result = out.CopyFrom(in, step, copied);
        if (result != File::KernelCopy::Copied) {
            EXPECT_EQ(result, File::KernelCopy::Declined);
            break;
        }
        EXPECT_LE(copied, step);
        ++kernelCalls;
    }
    char buffer[4096];
    for (std::int64_t n; (n = in.Read(buffer, sizeof buffer)) > 0;)
        EXPECT_TRUE(out.Write(buffer, static_cast<std::size_t>(n)));
    out.Close();
    return test::ReadFile(target);
}

TEST(KernelCopy, CopiesEveryByteInStepsOrHandsOverToReadAndWrite) {
    struct Case {
        const char* name;
        std::size_t size;
        unsigned declineFrom;  // 0: never; n: the kernel declines its nth call on
        unsigned minCalls;
        unsigned maxCalls;
    };
    const Case cases[] = {
        {"empty", 0, 0, 0, 0},
        {"one byte", 1, 0, 1, 1},
        {"in steps", 300000, 0, 3, 3},
        {"declined at once", 300000, 1, 0, 0},
        {"declined midway", 300000, 2, 1, 1},
    };
    for (const Case& c : cases) {
        faults::Guard guard;
        test::TempDir dir;
        const std::string data = Pattern(c.size);
        test::WriteFile(dir / "in", data);
        if (c.declineFrom != 0) faults::Arm(faults::Call::KernelCopy, EXDEV, c.declineFrom, 0);
        unsigned calls = 0;
        EXPECT_TRUE(CopyThrough(dir / "in", dir / "out", 128 * 1024, calls) == data) << c.name;
        EXPECT_GE(calls, c.minCalls) << c.name;
        EXPECT_LE(calls, c.maxCalls) << c.name;
    }
}

TEST(KernelCopy, ReadFaultsNameTheSourceAndWriteFaultsTheTarget) {
    test::TempDir dir;
    test::WriteFile(dir / "in", Pattern(1000));
    for (const auto& [call, expected] :
         {std::pair{faults::Call::Read, File::KernelCopy::ReadFailed},
          std::pair{faults::Call::Write, File::KernelCopy::WriteFailed}}) {
        faults::Guard guard;
        File in, out;
        ASSERT_TRUE(in.Open(dir / "in", File::Mode::Read));
        ASSERT_TRUE(out.Open(dir / "out", File::Mode::CreateTruncate));
        faults::Arm(call, EIO, 1, 1, call == faults::Call::Read ? "/in" : "/out");
        std::size_t copied = 7;
        EXPECT_EQ(out.CopyFrom(in, 4096, copied), expected);
        EXPECT_EQ(copied, 0u);
        EXPECT_EQ((call == faults::Call::Read ? in : out).lastError(), EIO);
        // Nothing moved: the next call copies from the start.
        EXPECT_EQ(out.CopyFrom(in, 4096, copied), File::KernelCopy::Copied);
        EXPECT_EQ(copied, 1000u);
    }
}

// One Flush point per full window, none for the part after the last; a
// window closes at the first write that fills it (seven writes of 10,000
// bytes here). A kernel without range write-back falls back to data syncs,
// and a write-back that fails is a failed write.
TEST(WriteBehind, OneFlushPerFullWindowWhateverTheKernelSays) {
    struct Case {
        const char* name;
        std::size_t writes;
        std::size_t each;
        int writebackError;  // 0: the kernel's own answer
        bool ok;
        unsigned flushes;
    };
    const std::size_t window = 64 * 1024;
    const Case cases[] = {
        {"under one window", 3, 16 * 1024, 0, true, 0},
        {"exactly one", 4, 16 * 1024, 0, true, 1},
        {"several, odd writes", 40, 10000, 0, true, 5},
        {"no range write-back", 40, 10000, ENOSYS, true, 5},
        {"not for this file", 40, 10000, EINVAL, true, 5},
        {"write-back fails", 40, 10000, EIO, false, 1},
    };
    for (const Case& c : cases) {
        faults::Guard guard;
        test::TempDir dir;
        File file;
        ASSERT_TRUE(file.Open(dir / "f", File::Mode::CreateTruncate));
        unsigned flushes = 0;
        faults::SetObserverForTesting([&](faults::Call call, const char*) {
            if (call == faults::Call::Flush) ++flushes;
        });
        if (c.writebackError != 0) faults::Arm(faults::Call::Writeback, c.writebackError, 1, 0);
        WriteBehind flush(window);
        const std::string chunk = Pattern(c.each);
        bool ok = true;
        int error = 0;
        for (std::size_t i = 0; i < c.writes && ok; ++i) {
            ASSERT_TRUE(file.Write(chunk.data(), chunk.size()));
            ok = flush.Wrote(file, chunk.size());
            error = errno;
        }
        faults::SetObserverForTesting(nullptr);
        EXPECT_EQ(ok, c.ok) << c.name;
        if (!c.ok) {
            EXPECT_EQ(error, c.writebackError) << c.name;
        }
        EXPECT_EQ(flushes, c.flushes) << c.name;
    }
}

TEST(WriteBehind, AFlushFaultFailsTheWindowItHits) {
    faults::Guard guard;
    test::TempDir dir;
    File file;
    ASSERT_TRUE(file.Open(dir / "f", File::Mode::CreateTruncate));
    faults::Arm(faults::Call::Flush, EIO, 2, 1, "/f");
    WriteBehind flush(1000);
    const std::string chunk = Pattern(600);
    std::vector<bool> results;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(file.Write(chunk.data(), chunk.size()));
        results.push_back(flush.Wrote(file, chunk.size()));
    }
    // Windows end at 1200 and 2400 bytes (after writes 2 and 4): the
    // second of them fails.
    EXPECT_EQ(results, (std::vector<bool>{true, true, true, false, true}));
}

}  // namespace
}  // namespace kivo
