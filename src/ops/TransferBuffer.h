#pragma once
// The one buffer a run streams every file through.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kivo {

constexpr std::size_t kTransferBufferSize = 16384;
// Written bytes after which the file's buffers go to disk.
constexpr std::uint64_t kFlushInterval = 2097152;
// The most one kernel copy call moves, so that progress and cancel are
// seen at least this often; equal to the flush interval, so each call
// ends a flush window where the buffer's transfers would.
constexpr std::size_t kKernelCopyStep = 2097152;

using TransferBuffer = std::unique_ptr<unsigned char[]>;

// Null when the memory cannot be had.
TransferBuffer AllocateTransferBuffer();

// Test seam: while set, every allocation fails as if memory had run out.
void FailTransferBufferAllocationForTesting(bool fail);

}  // namespace kivo
