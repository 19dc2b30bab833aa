// Zips one folder the way the Zip operation does (expansion, then the
// archive writer) for comparison with Info-ZIP's zip.
// Usage: bench_zip FOLDER ARCHIVE [PASSWORD]
#include <cstdio>
#include <memory>
#include <string>

#include "model/FileSet.h"
#include "zip/ZipWorker.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER ARCHIVE [PASSWORD]\n", argv[0]);
        return 2;
    }
    kivo::FileSet set;
    auto entry = std::make_unique<kivo::SetEntry>();
    entry->path = argv[1];
    set.entries.push_back(std::move(entry));

    kivo::zip::ZipJob job;
    job.outputPath = argv[2];
    if (argc > 3) job.password = argv[3];

    kivo::CancelFlag cancel{0};
    kivo::RunSink sink;  // no window: progress goes nowhere
    const kivo::RunResult result = kivo::zip::ZipWorker(&set, job, cancel, sink);
    if (result.end != kivo::RunEnd::Done) {
        std::fprintf(stderr, "%s\n", result.errorText.c_str());
        return 1;
    }
    return 0;
}
