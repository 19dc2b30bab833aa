// The device-and-inode set that Copy and Move search while it grows.
#include "scan/FileIdentities.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <utility>

namespace kivo {
namespace {

TEST(FileIdentitiesTest, FindsEveryKeyAddedAndNoOtherWhileGrowing) {
    // Few devices and a narrow inode range, so that equal inodes on other
    // devices and repeated keys both occur.
    std::mt19937_64 random(7);
    std::set<std::pair<std::uint64_t, std::uint64_t>> reference;
    FileIdentities keys;
    // A scan's keys first, sorted once, then keys found as they come.
    constexpr int kScanned = 1000;
    for (int i = 0; i < 5000; ++i) {
        const std::uint64_t device = random() % 3;
        const std::uint64_t inode = random() % 4000;
        if (i < kScanned) {
            keys.AddUnsorted(device, inode);
        } else {
            keys.Add(device, inode);
        }
        reference.emplace(device, inode);
        if (i == kScanned - 1) keys.Sort();
        // Probe after sizes that leave several runs unmerged.
        if (i >= kScanned - 1 && (i % 97 == 0 || i < kScanned + 20)) {
            for (std::uint64_t d = 0; d < 3; ++d) {
                for (std::uint64_t n = 0; n < 4000; n += 7) {
                    ASSERT_EQ(keys.Contains(d, n), reference.count({d, n}) == 1)
                        << "after " << i << ": " << d << "," << n;
                }
            }
        }
    }
    EXPECT_EQ(keys.Size(), 5000u);
    EXPECT_FALSE(keys.Contains(3, 0));
}

}  // namespace
}  // namespace kivo
