#include <cstddef>
#include <cstdint>

#include "fuzz/targets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return thumbrover::fuzz::run_fuzz_input(&thumbrover::fuzz::fuzz_version, data, size);
}
