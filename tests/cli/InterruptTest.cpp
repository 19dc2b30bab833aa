// Ctrl+C during a long copy: exit 130, the run ends as stopped, and no
// partial file is left at the destination.
#include <signal.h>

#include <fstream>
#include <thread>

#include "CliFixture.h"
#include "TemporaryFiles.h"

namespace kivo::clitest {
namespace {

class Interrupt : public CliFixture {};

// Real data, not a sparse file: the copy must take long enough that the
// signal lands while it is busy.
void WriteLargeFile(const std::string& path, std::size_t megabytes, char seed) {
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(seed + i * 131);
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < megabytes; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

TEST_F(Interrupt, SigintStopsALongCopyWithoutLeavingAPartialFile) {
    fs::create_directories(At("big"));
    constexpr int kFiles = 6;
    for (int i = 0; i < kFiles; ++i) {
        WriteLargeFile(At("big/f" + std::to_string(i)), 64, static_cast<char>('a' + i));
    }
    CliOk({"set-add", "Big", At("big")});
    CliOk({"bind", "copy", "Big", At("dest")});
    const std::string bindingBefore = ReadBytes(BindingStore());

    CliProcess process(scratch_, {"--data-dir", DataDir(), "-q", "run", "1"});
    // Wait until a file is being written, then interrupt: no clock is
    // involved, only the state of the destination.
    bool copying = false;
    while (!copying && !process.HasExited()) {
        copying = WritesTemporaryUnder(process.pid(), At("dest"));
        if (!copying) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(copying) << "the copy ended before it could be interrupted";
    process.Signal(SIGINT);
    const CliResult result = process.Wait();

    EXPECT_EQ(result.status, 130) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(HasTemporaryFile(At("dest")));
    // Whatever arrived is whole; the sources are untouched.
    int copied = 0;
    for (const auto& item : fs::recursive_directory_iterator(At("dest"))) {
        if (!item.is_regular_file()) continue;
        ++copied;
        EXPECT_EQ(ReadBytes(item.path().string()),
                  ReadBytes(At("big/" + item.path().filename().string())))
            << item.path();
    }
    EXPECT_LT(copied, kFiles);
    for (int i = 0; i < kFiles; ++i) EXPECT_EQ(fs::file_size(At("big/f" + std::to_string(i))), 64u << 20);
    // A stopped run records nothing.
    EXPECT_EQ(ReadBytes(BindingStore()), bindingBefore);
}

}  // namespace
}  // namespace kivo::clitest
