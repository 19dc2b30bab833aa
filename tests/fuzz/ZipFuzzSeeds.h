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
    Member localZip64{"stdin.txt", "streamed from standard input"};
    localZip64.localZip64 = true;
    Member dosFolder{"def", "", 0};
    dosFolder.madeBy = 10 << 8 | 20;
    dosFolder.externalAttributes = 0x10;
    auto zip64 = BuildArchive({localZip64, dosFolder, {"def/foo", "foo"}});
    kivo::test::UseZip64End(zip64, true);
    auto zip64RealValues = BuildArchive({{"r.txt", "real values beside the Zip64 record"}});
    kivo::test::UseZip64End(zip64RealValues, false);
    Member centralZip64{"c.txt", "central"};
    centralZip64.centralExtra = kivo::test::Zip64Field({7});
    auto central = BuildArchive({centralZip64});
    kivo::test::Patch32(central.bytes, central.centralOffset + 24, 0xFFFFFFFF);
    const std::string stub = "#!/bin/sh\nexit 0\n";
    return {
        zip64.bytes,
        stub + zip64.bytes,
        zip64RealValues.bytes,
        central.bytes,
        stub + BuildArchive({{"sfx.txt", "self-extracting"}}).bytes,
        BuildArchive({{"a.txt", "hello hello hello"}}).bytes,
        BuildArchive({{"Docs/", "", 0}, {"Docs/a.txt", "aaaa", 0}, {"docs/Sub/b.txt", "bbbb"}}).bytes,
        BuildArchive({secret, {"plain.bin", std::string(300, 'p'), 0}}, "comment").bytes,
        BuildArchive({streamed, {"../up.txt", "u"}, {"x/../../y.txt", "y"}}).bytes,
        BuildArchive({{"\x81" "ber.txt", "cp437"}, {"empty", ""}}).bytes,
    };
}
