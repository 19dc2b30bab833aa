// Faults armed by path pick the same files whatever the order of the uses
// and the thread they come from; counted armings keep working beside them.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/Faults.h"
#include "platform/File.h"
#include "support/TempDir.h"

namespace kivo {
namespace {

TEST(Faults, ArmedByPathTheSameFilesFailFromEveryThread) {
    faults::Guard guard;
    test::TempDir dir;
    constexpr int kThreads = 4, kFiles = 60;
    for (int t = 0; t < kThreads; ++t)
        for (int f = 0; f < kFiles; ++f)
            test::WriteFile(dir / ("t" + std::to_string(t) + "-f" + std::to_string(f)), "x");
    faults::ArmPath(faults::Call::Open, EIO, "/t1-f9");  // also t1-f9x: none here
    faults::ArmPath(faults::Call::Open, ENOSPC, "/t3-f59");
    faults::ArmPath(faults::Call::Read, EACCES, "/t0-f0");
    // Each thread opens and reads its files twice: a path fault fires on
    // every use, not once.
    std::vector<std::vector<std::string>> failures(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 2; ++round) {
                for (int f = 0; f < kFiles; ++f) {
                    const std::string name = "t" + std::to_string(t) + "-f" + std::to_string(f);
                    File file;
                    if (!file.Open(dir / name, File::Mode::Read)) {
                        failures[t].push_back("open " + name + " " + std::to_string(file.lastError()));
                        continue;
                    }
                    char c;
                    if (file.Read(&c, 1) < 0)
                        failures[t].push_back("read " + name + " " + std::to_string(file.lastError()));
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    const std::string eio = std::to_string(EIO), enospc = std::to_string(ENOSPC),
                      eacces = std::to_string(EACCES);
    EXPECT_EQ(failures[0], (std::vector<std::string>(2, "read t0-f0 " + eacces)));
    EXPECT_EQ(failures[1], (std::vector<std::string>(2, "open t1-f9 " + eio)));
    EXPECT_TRUE(failures[2].empty());
    EXPECT_EQ(failures[3], (std::vector<std::string>(2, "open t3-f59 " + enospc)));
    EXPECT_EQ(faults::FiredCount(), 6u);

    // Reset disarms path faults too.
    faults::Reset();
    File file;
    EXPECT_TRUE(file.Open(dir / "t1-f9", File::Mode::Read));
}

TEST(Faults, CountedArmingStillCountsBesidePathArmings) {
    faults::Guard guard;
    test::TempDir dir;
    for (const char* name : {"a", "b"}) test::WriteFile(dir / name, "x");
    faults::ArmPath(faults::Call::Open, EIO, "/a");
    faults::Arm(faults::Call::Open, ENOENT, 2, 1, "/b");
    std::vector<int> errors;
    for (int i = 0; i < 3; ++i) {
        for (const char* name : {"a", "b"}) {
            File file;
            errors.push_back(file.Open(dir / name, File::Mode::Read) ? 0 : file.lastError());
        }
    }
    EXPECT_EQ(errors, (std::vector<int>{EIO, 0, EIO, ENOENT, EIO, 0}));
}

}  // namespace
}  // namespace kivo
