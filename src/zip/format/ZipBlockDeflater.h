#pragma once
// Deflate of one entry in fixed blocks, so that several threads can work on
// one file (or on several small files) at once and still give the same bytes
// as one thread. Each block is deflated on its own with the 32 KiB of input
// before it as dictionary, ends with a sync flush (byte-aligned, so the
// blocks join into one stream), and the entry's last block finishes the
// stream. Block boundaries depend only on the offset in the file.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kivo::zip {

constexpr std::size_t kDeflateBlockSize = 128 * 1024;
constexpr std::size_t kDeflateDictionarySize = 32 * 1024;

struct DeflateJob {
    // The dictionary (the end of the previous block, empty for the first),
    // then the block's data.
    std::vector<unsigned char> input;
    std::size_t dictionarySize = 0;
    bool last = false;  // finishes the entry's stream

    // Filled by the deflater.
    std::vector<unsigned char> output;
    std::uint32_t crc = 0;  // CRC-32 of the data (not the dictionary)
    bool ok = false;
    bool done = false;  // guarded by the workers' lock while threads run

    std::size_t DataSize() const { return input.size() - dictionarySize; }
    // Memory the job will hold once deflated, for the bound on work in
    // flight: its input and, at most, about as much output. Fixed from
    // submission on, so what is counted in is what is counted out.
    std::size_t Footprint() const { return 2 * input.capacity() + 64; }
};

// Runs deflate jobs on `threads` worker threads, or on the calling thread
// at submission when `threads` is 1.
class DeflateWorkers {
public:
    explicit DeflateWorkers(unsigned threads);
    // Drops the jobs not started and waits for the running ones (one block
    // each, a few milliseconds).
    ~DeflateWorkers();
    DeflateWorkers(const DeflateWorkers&) = delete;
    DeflateWorkers& operator=(const DeflateWorkers&) = delete;

    // False when a thread or zlib could not be set up.
    bool Ready() const { return ready_; }
    void Submit(DeflateJob& job);
    // Blocks until `job` is done; its fields may then be read.
    void Wait(DeflateJob& job);
    // True when `job` is done, without waiting.
    bool IsDone(DeflateJob& job);

private:
    class Stream;
    void Work();

    bool ready_ = false;
    bool inline_ = false;
    std::unique_ptr<Stream> inlineStream_;
    std::mutex mutex_;
    std::condition_variable pending_;
    std::condition_variable finished_;
    std::deque<DeflateJob*> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace kivo::zip
