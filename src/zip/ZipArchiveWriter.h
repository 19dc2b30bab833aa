#pragma once
// Turns an item list into one zip archive: every file as a deflated entry,
// then the central directory and the end record. The archive is built in a
// temporary file beside the output path and renamed over it only when
// complete, so a failed or cancelled run leaves any earlier archive as it was.
#include <cstddef>
#include <string>

#include "scan/ItemList.h"
#include <vector>

#include "zip/format/ZipEntryWriter.h"
#include "zip/format/ZipLimits.h"
#include "zip/format/ZipProgress.h"

namespace kivo::zip {

class ZipArchiveWriter {
public:
    // `threads` 0 deflates on as many threads as this process may use (at
    // most 8); tests set a count to show the archive does not depend on it.
    explicit ZipArchiveWriter(ZipLimits limits = {}, unsigned threads = 0)
        : limits_(limits), threads_(threads) {}

    // Returns nonzero on success. A null password or a length of 0 means no
    // encryption; with a password, `aes` writes WinZip AES-256 (AE-2)
    // instead of traditional encryption. `progress` may be null.
    int Build(ItemList& items, const char* password, std::size_t passwordLength,
              const std::string& archivePath, ZipProgress* progress, bool aes = false);

private:
    unsigned DeflateThreads() const;

    ZipLimits limits_;
    unsigned threads_;
};

// The central header of one written entry. Sizes and offset beyond
// `limits` go into a Zip64 field, only those.
void AppendCentralHeader(std::vector<unsigned char>& out, const EntryRecord& entry,
                         const ZipLimits& limits);

// The archive name of an item: its relative name without leading '/'.
std::string EntryNameOf(const ItemRecord& item);

}  // namespace kivo::zip
