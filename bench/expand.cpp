// Expands one folder the way an operation does (the item list filled with
// a counter receiver attached, then read back once) and prints the count
// and total size, for comparison with `find -printf`.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "model/FileSet.h"
#include "scan/Expand.h"
#include "scan/ItemList.h"

namespace {

// Keeps the latest counter text, as a window does between repaints.
class LatestCounter : public kivo::RunSink {
public:
    void SetCounter(const std::string& text) override { latest = text; }
    std::string latest;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [--no-follow]\n", argv[0]);
        return 2;
    }
    kivo::ExpandOptions options;
    if (argc > 2 && std::strcmp(argv[2], "--no-follow") == 0) options.followFolderLinks = false;

    kivo::FileSet set;
    auto entry = std::make_unique<kivo::SetEntry>();
    entry->path = argv[1];
    set.entries.push_back(std::move(entry));

    kivo::CancelFlag cancel{0};
    LatestCounter counter;
    kivo::ItemList list(&cancel, &counter);
    kivo::ExpandSet(set, list, options);

    std::uint64_t read = 0;
    std::uint64_t bytes = 0;
    kivo::ItemRecord record;
    while (list.ReadNext(record)) {
        ++read;
        bytes += record.size;
    }
    std::printf("%" PRIu64 " files, %" PRIu64 " bytes (read back %" PRIu64 ", %" PRIu64 ")\n",
                list.Count(), list.TotalSize(), read, bytes);
    std::printf("counter: %s\n", counter.latest.c_str());
    return read == list.Count() ? 0 : 1;
}
