#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/Survey.h"
#include "TempTree.h"

namespace kivo {
namespace {

using test::TempTree;

TEST(FileExtension, LastDotNotInFirstPosition) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.txt", "txt"}, {"a.b.GZ", "GZ"}, {"README", ""},   {"name.", ""},
        {".profile", ""}, {".a.b", "b"},    {"..x", "x"},     {"", ""},
    };
    for (const auto& [name, ext] : cases) EXPECT_EQ(FileExtension(name), ext) << name;
}

TEST(FileTypeSurvey, GroupsByExtensionInTheOrderFound) {
    TempTree tree;
    tree.Folder("one/sub");
    tree.Folder("one/.hidden");
    tree.Folder("two");
    tree.File("one/a.TXT", 10);
    tree.File("one/b.txt", 20);
    tree.File("one/README", 1);
    tree.File("one/.profile", 2);
    tree.File("one/trail.", 3);
    tree.File("one/sub/d.Txt", 30);
    tree.File("one/sub/p.png", 400);
    tree.File("one/.hidden/h.txt", 1000);
    tree.File("two/c.png", 600);

    // Independent expectation from raw readdir order.
    std::vector<std::string> order;
    std::function<void(const std::string&, bool)> walk = [&](const std::string& dir, bool sub) {
        for (const std::string& n : TempTree::ReaddirOrder(dir)) {
            const std::string p = dir + "/" + n;
            struct stat st {};
            ::stat(p.c_str(), &st);
            if (!S_ISDIR(st.st_mode)) order.push_back(n);
            else if (sub && n[0] != '.') walk(p, sub);
        }
    };

    for (bool sub : {true, false}) {
        order.clear();
        walk(tree.Path("one"), sub);
        walk(tree.Path("two"), sub);
        // First file of each group, and per-group count and size.
        std::vector<std::string> samples;
        auto groupOf = [](const std::string& n) -> std::string {
            const auto dot = n.rfind('.');
            if (dot == std::string::npos || dot == 0) return "";
            std::string e = n.substr(dot + 1);
            for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return e;
        };
        std::vector<std::string> groups;
        for (const std::string& n : order) {
            if (std::find(groups.begin(), groups.end(), groupOf(n)) == groups.end()) {
                groups.push_back(groupOf(n));
                samples.push_back(n);
            }
        }

        std::vector<std::uint64_t> progress;
        FileTypeSurvey survey;
        survey.Run({tree.Path("one"), tree.Path("two/")}, sub,
                   [&](std::uint64_t n) { progress.push_back(n); });
        const auto& rows = survey.Records();
        ASSERT_EQ(rows.size(), samples.size()) << "subfolders " << sub;
        for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].sampleName, samples[i]);

        EXPECT_EQ(survey.TotalFiles(), order.size());
        EXPECT_EQ(progress.size(), order.size());
        for (std::size_t i = 0; i < progress.size(); ++i) EXPECT_EQ(progress[i], i + 1);

        for (const FileTypeRecord& row : rows) {
            const std::string ext = groupOf(row.sampleName);
            if (ext == "txt") {
                EXPECT_EQ(row.fileCount, sub ? 3u : 2u);
                EXPECT_EQ(row.totalSize, sub ? 60u : 30u);
            } else if (ext == "png") {
                EXPECT_EQ(row.fileCount, sub ? 2u : 1u);
                EXPECT_EQ(row.totalSize, sub ? 1000u : 600u);
            } else {
                EXPECT_EQ(ext, "");
                EXPECT_EQ(row.Extension(), "");
                EXPECT_EQ(row.fileCount, 3u);  // README, .profile, "trail."
                EXPECT_EQ(row.totalSize, 6u);
            }
        }
        EXPECT_EQ(survey.TotalSize(), sub ? 1066u : 636u);
    }
}

TEST(FileTypeSurvey, EmptyFolderAndRerunStartAfresh) {
    TempTree tree;
    tree.Folder("empty");
    tree.Folder("full");
    tree.File("full/x.y", 5);
    FileTypeSurvey survey;
    survey.Run({tree.Path("full")}, true);
    ASSERT_EQ(survey.Records().size(), 1u);
    EXPECT_EQ(survey.Records()[0].Extension(), "y");
    survey.Run({tree.Path("empty"), tree.Path("missing")}, true);
    EXPECT_TRUE(survey.Records().empty());
    EXPECT_EQ(survey.TotalFiles(), 0u);
    EXPECT_EQ(survey.TotalSize(), 0u);
}

TEST(FileTypeSurvey, FollowsFolderLinksWithoutLooping) {
    TempTree tree;
    tree.Folder("root/in");
    tree.Folder("elsewhere");
    tree.File("root/in/a.c", 1);
    tree.File("elsewhere/b.c", 2);
    tree.Link("root/in/loop", tree.Path("root"));
    tree.Link("root/there", tree.Path("elsewhere"));
    FileTypeSurvey survey;
    survey.Run({tree.Path("root")}, true);
    ASSERT_EQ(survey.Records().size(), 1u);
    EXPECT_EQ(survey.Records()[0].fileCount, 2u);
    EXPECT_EQ(survey.TotalSize(), 3u);
}

TEST(FileTypeSurvey, CancelEndsTheWholeSurveyAfterTheCurrentFile) {
    TempTree tree;
    tree.Folder("first/sub");
    for (int i = 0; i < 5; ++i) tree.File("first/f" + std::to_string(i) + ".a", 1);
    for (int i = 0; i < 5; ++i) tree.File("first/sub/g" + std::to_string(i) + ".b", 1);
    tree.Folder("second");
    tree.File("second/h.c", 1);
    for (std::uint64_t after : {1u, 3u, 7u}) {
        CancelFlag cancel{0};
        FileTypeSurvey survey;
        survey.Run({tree.Path("first"), tree.Path("second")}, true,
                   [&](std::uint64_t n) {
                       if (n == after) cancel = 1;
                   },
                   &cancel);
        EXPECT_EQ(survey.TotalFiles(), after);
        EXPECT_EQ(survey.TotalSize(), after);
        for (const FileTypeRecord& row : survey.Records()) EXPECT_NE(row.Extension(), "c");
    }
}

}  // namespace
}  // namespace kivo
