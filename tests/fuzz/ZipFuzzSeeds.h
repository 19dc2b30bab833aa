#pragma once
// Small valid archives the zip fuzz targets start from, one per feature the
// reader and extraction handle.
#include <string>
#include <vector>

#include "../unit/zip/reader_ArchiveBytes.h"

inline std::vector<std::string> ZipSeedArchives() {
    using kivo::test::BuildArchive;
    using kivo::test::Member;
    Member secret{"s/secret.txt", "classified classified"};
    secret.password = "pw";
    Member streamed{"dd.txt", "data descriptor data descriptor"};
    streamed.dataDescriptor = true;
    return {
        BuildArchive({{"a.txt", "hello hello hello"}}).bytes,
        BuildArchive({{"Docs/", "", 0}, {"Docs/a.txt", "aaaa", 0}, {"docs/Sub/b.txt", "bbbb"}}).bytes,
        BuildArchive({secret, {"plain.bin", std::string(300, 'p'), 0}}, "comment").bytes,
        BuildArchive({streamed, {"../up.txt", "u"}, {"x/../../y.txt", "y"}}).bytes,
        BuildArchive({{"\x81" "ber.txt", "cp437"}, {"empty", ""}}).bytes,
    };
}
