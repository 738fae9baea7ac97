// WAVE reader and RIFF walker: declared sizes beyond the input, odd chunks, any format fields.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "audio/WaveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fim::MemorySource src(data, size);
    fim::WaveData out;
    out.samples = {7};
    const auto status = fim::ReadWave16(src, out, 1u << 16);
    if (status == fim::WaveStatus::Ok) {
        FUZZ_CHECK(out.format.channels > 0);
        FUZZ_CHECK(out.format.bitsPerSample == 16);
        FUZZ_CHECK(out.samples.size() % out.format.channels == 0);
        FUZZ_CHECK(out.samples.size() * 2 <= size);
        FUZZ_CHECK(out.Frames() <= out.framesInFile);
    } else {
        FUZZ_CHECK(out.samples.size() == 1 && out.samples[0] == 7);
    }
    // Frame reads from the middle and past the end, as the recovery and finder readers do.
    fim::WaveReader reader;
    if (reader.Open(src) == fim::WaveStatus::Ok) {
        const uint64_t frames = reader.FrameCount();
        FUZZ_CHECK(reader.DataBytes() <= size);
        std::vector<int16_t> buf(static_cast<std::size_t>(reader.Format().channels) * 2 + 1,
                                 0x5A5A);
        for (uint64_t first : {uint64_t{0}, frames / 2, frames, frames + 3}) {
            const std::size_t got = reader.ReadFrames16(first, buf.data(), 2);
            FUZZ_CHECK(got <= 2);
            FUZZ_CHECK(first + got <= frames || got == 0);
            FUZZ_CHECK(buf.back() == 0x5A5A);  // sentinel behind the 2 frames
        }
    }
    return 0;
}
