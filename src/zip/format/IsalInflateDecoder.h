#pragma once
// ISA-L's raw inflate behind the decoder interface; absent (null) when the
// program was built without ISA-L.
#include <memory>

#include "zip/format/EntryDecoder.h"

namespace kivo::zip {

bool IsalInflateBuilt();
std::unique_ptr<EntryDecoder> MakeIsalInflateDecoder(DecodeStatus& status);

}  // namespace kivo::zip
