// Time-file reader: never reads outside the input, never stores more than its capacity, and a
// refused file leaves the output alone.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "audio/TimeFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr std::size_t kCapacity = 4096;
    fim::MemorySource src(data, size);
    fim::TimeFileData out;
    out.sampleRate = 1234;
    out.samples = {42.0};
    const auto status = fim::ReadTimeFile(src, out, kCapacity);
    if (status == fim::TimeFileStatus::Ok) {
        FUZZ_CHECK(out.sampleRate >= 1000);
        FUZZ_CHECK(out.samplesInFile == size / 8 - 1);
        FUZZ_CHECK(out.samples.size() == std::min<uint64_t>(out.samplesInFile, kCapacity));
        FUZZ_CHECK(out.samples.size() >= 1);
    } else {
        FUZZ_CHECK(out.sampleRate == 1234 && out.samples.size() == 1 && out.samples[0] == 42.0);
    }
    return 0;
}
