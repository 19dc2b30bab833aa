// The two stores as something several programs share: who may read them,
// and what concurrent writers leave behind.
#include <sys/stat.h>

#include "CliFixture.h"

namespace kivo::clitest {
namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
}

class StoreSharing : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        WriteFile("secret", "s3cret\n");
    }
};

TEST_F(StoreSharing, TheDataFolderAndBothStoresAreTheOwnersAlone) {
    CliOk({"set-add", "Docs", At("docs")});
    CliOk({"bind", "zip", "Docs", At("z"), "--name", "b", "--password-file", At("secret")});
    EXPECT_EQ(ModeOf(DataDir()), 0700u);
    EXPECT_EQ(ModeOf(SetStore()), 0600u);
    EXPECT_EQ(ModeOf(BindingStore()), 0600u);

    // A store left readable by an older version is closed at its next save.
    ASSERT_EQ(::chmod(BindingStore().c_str(), 0644), 0);
    CliOk({"bind", "delete", "Docs"});
    EXPECT_EQ(ModeOf(BindingStore()), 0600u);
}

}  // namespace
}  // namespace kivo::clitest
