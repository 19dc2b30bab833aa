#pragma once
// Every fuzz target defines LLVMFuzzerTestOneInput and FuzzSeeds. Under
// libFuzzer the seeds are unused; the replay driver mutates them
// deterministically so a bounded fuzz run is part of every test run.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

std::vector<std::string> FuzzSeeds();
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
