#pragma once
// Small valid archives the zip fuzz targets start from, one per feature the
// reader and extraction handle.
#include <string>
#include <vector>

#include "../unit/zip/method_streams.h"
#include "../unit/zip/reader_ArchiveBytes.h"
#include "zip/format/EntryDecoder.h"
#include "zip/format/WinZipAes.h"

// An AES entry's data: salt, verifier, `data` encrypted, authentication code.
inline std::string AesPacked(const std::string& data, const std::string& password,
                             unsigned strength) {
    unsigned char salt[16];
    for (unsigned char i = 0; i < sizeof salt; ++i) salt[i] = static_cast<unsigned char>(i * 37 + 1);
    kivo::zip::AesCipher cipher;
    if (!cipher.Init(password, strength, salt)) return std::string();
    std::string encrypted = data;
    cipher.Encrypt(reinterpret_cast<unsigned char*>(encrypted.data()), encrypted.size());
    unsigned char code[kivo::zip::kAesAuthCodeSize];
    cipher.AuthCode(code);
    return std::string(reinterpret_cast<const char*>(salt), kivo::zip::AesSaltSize(strength)) +
           std::string(reinterpret_cast<const char*>(cipher.Verifier()), 2) + encrypted +
           std::string(reinterpret_cast<const char*>(code), sizeof code);
}

// One entry of each method other tools write, and AES of each strength.
inline std::vector<std::string> MethodSeedArchives() {
    using kivo::test::Member;
    namespace z = kivo::zip;
    const std::string text = "method seed, method seed, method seed: 0123456789 0123456789\n";
    std::vector<Member> methods;
    const auto add = [&](const char* name, std::uint16_t method, std::string packed,
                         std::uint16_t flags = 0) {
        Member m(name, text, method);
        m.packed = std::move(packed);
        m.flags = flags;
        methods.push_back(m);
    };
    add("bzip2.txt", z::kMethodBzip2, kivo::test::Bzip2Stream(text));
    add("lzma.txt", z::kMethodLzma, kivo::test::ZipLzmaStream(text, false));
    add("lzma-eos.txt", z::kMethodLzma, kivo::test::ZipLzmaStream(text, true), z::kFlagLzmaEndMarker);
    add("xz.txt", z::kMethodXz, kivo::test::XzStream(text));
    add("zstd.txt", z::kMethodZstd, kivo::test::ZstdStream(text));
    add("zstd20.txt", z::kMethodZstdOld, kivo::test::ZstdStream(text));
    // No match of 258 bytes, so deflate's stream reads the same as Deflate64.
    add("deflate64.txt", z::kMethodDeflate64, kivo::test::RawDeflate(text));
    std::vector<Member> aes;
    for (unsigned strength = 1; strength <= 3; ++strength) {
        for (std::uint16_t vendor : {z::kAesVendorAe1, z::kAesVendorAe2}) {
            Member m("aes" + std::to_string(strength) + "-" + std::to_string(vendor) + ".txt", text,
                     z::kMethodAes);
            m.flags = z::kFlagEncrypted;
            m.packed = AesPacked(kivo::test::RawDeflate(text), "pw", strength);
            m.extraBoth = z::MakeAesField({vendor, static_cast<std::uint8_t>(strength),
                                           z::kMethodDeflated});
            if (vendor == z::kAesVendorAe2) m.statedCrc = 0;
            aes.push_back(m);
        }
    }
    Member strong("strong.txt", text, z::kMethodStored);
    strong.flags = z::kFlagEncrypted | z::kFlagStrongEncryption;
    return {kivo::test::BuildArchive(methods).bytes, kivo::test::BuildArchive(aes).bytes,
            kivo::test::BuildArchive({strong}).bytes};
}

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
    std::vector<std::string> seeds = MethodSeedArchives();
    std::vector<std::string> classic = {
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
    seeds.insert(seeds.begin(), classic.begin(), classic.end());
    return seeds;
}
