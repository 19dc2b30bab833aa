#include "ops/TransferBuffer.h"

#include <atomic>
#include <new>

namespace kivo {
namespace {
std::atomic<bool> g_failAllocation{false};
}

TransferBuffer AllocateTransferBuffer() {
    if (g_failAllocation.load()) return nullptr;
    return TransferBuffer(new (std::nothrow) unsigned char[kTransferBufferSize]);
}

void FailTransferBufferAllocationForTesting(bool fail) { g_failAllocation.store(fail); }

}  // namespace kivo
