#include "zip/format/ZipBlockDeflater.h"

#include <zlib.h>

#include <new>
#include <system_error>

namespace kivo::zip {

namespace {

constexpr int kMemLevel = 8;
constexpr int kRawDeflateWindowBits = -15;
// Room added to the output whenever deflate fills it.
constexpr std::size_t kOutputStep = 16384;
// Beyond deflate's bound: the sync flush's empty stored block.
constexpr std::size_t kFlushMargin = 64;

}  // namespace

// One zlib stream, set up once and reset for every block.
class DeflateWorkers::Stream {
public:
    Stream() {
        started_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED,
                                kRawDeflateWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Stream() {
        if (started_) deflateEnd(&stream_);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    bool Started() const { return started_; }

    void Run(DeflateJob& job) {
        job.ok = false;
        try {
            job.ok = Deflate(job);
        } catch (const std::bad_alloc&) {
            job.ok = false;
        }
    }

private:
    bool Deflate(DeflateJob& job) {
        if (deflateReset(&stream_) != Z_OK) return false;
        unsigned char* data = job.input.data();
        if (job.dictionarySize > 0) {
            if (deflateSetDictionary(&stream_, data, static_cast<uInt>(job.dictionarySize)) != Z_OK)
                return false;
        }
        const std::size_t size = job.DataSize();
        job.crc = static_cast<std::uint32_t>(
            crc32(0L, data + job.dictionarySize, static_cast<uInt>(size)));
        // Sized to the bound, so that the many small files in flight hold
        // little memory; grown in the rare case that it is not enough.
        job.output.resize(deflateBound(&stream_, static_cast<uLong>(size)) + kFlushMargin);
        stream_.next_in = data + job.dictionarySize;
        stream_.avail_in = static_cast<uInt>(size);
        const int flush = job.last ? Z_FINISH : Z_SYNC_FLUSH;
        std::size_t produced = 0;
        for (;;) {
            stream_.next_out = job.output.data() + produced;
            stream_.avail_out = static_cast<uInt>(job.output.size() - produced);
            const int rc = deflate(&stream_, flush);
            produced = job.output.size() - stream_.avail_out;
            if (rc == Z_STREAM_END) break;
            if (rc != Z_OK && rc != Z_BUF_ERROR) return false;
            // A sync flush is complete once deflate stops short of the end
            // of the output with all input taken.
            if (!job.last && stream_.avail_in == 0 && stream_.avail_out > 0) break;
            if (stream_.avail_out == 0) job.output.resize(job.output.size() + kOutputStep);
            else if (rc == Z_BUF_ERROR) return false;
        }
        job.output.resize(produced);
        job.output.shrink_to_fit();
        return true;
    }

    z_stream stream_{};
    bool started_ = false;
};

DeflateWorkers::DeflateWorkers(unsigned threads) {
    if (threads <= 1) {
        inline_ = true;
        inlineStream_.reset(new (std::nothrow) Stream);
        ready_ = inlineStream_ && inlineStream_->Started();
        return;
    }
    try {
        threads_.reserve(threads);
        for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
        ready_ = true;
    } catch (const std::system_error&) {
        ready_ = false;
    } catch (const std::bad_alloc&) {
        ready_ = false;
    }
}

DeflateWorkers::~DeflateWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    pending_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void DeflateWorkers::Submit(DeflateJob& job) {
    if (inline_) {
        inlineStream_->Run(job);
        job.done = true;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job.done = false;
        queue_.push_back(&job);
    }
    pending_.notify_one();
}

void DeflateWorkers::Wait(DeflateJob& job) {
    if (inline_) return;
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [&] { return job.done; });
}

bool DeflateWorkers::IsDone(DeflateJob& job) {
    if (inline_) return job.done;
    std::lock_guard<std::mutex> lock(mutex_);
    return job.done;
}

void DeflateWorkers::Work() {
    Stream stream;
    for (;;) {
        DeflateJob* job = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            pending_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            job = queue_.front();
            queue_.pop_front();
        }
        if (stream.Started()) {
            stream.Run(*job);
        } else {
            job->ok = false;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job->done = true;
        }
        finished_.notify_all();
    }
}

}  // namespace kivo::zip
