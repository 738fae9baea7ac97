#pragma once
// Sample formats of the sound cards: bytes per sample of a bit width, and recorded samples of
// any supported width as signed 32-bit integers. Device code and the measurement state share it.

#include <cstddef>
#include <cstdint>

namespace fim {

// Bits per sample of the wave format to bytes: 8 → 1, 16 → 2, 20 → 4, 24 → 4, otherwise 0.
int BytesPerSample(int bits);

// Converts `count` recorded samples of `bits` bits to signed 32-bit integers: 1-byte samples
// (unsigned, centred on 128) become 127 − byte, 2-byte samples are sign-extended, 4-byte samples
// are copied. A width BytesPerSample does not know converts nothing and returns false.
bool ConvertRecording(const void* source, int32_t* destination, int bits, std::size_t count);

// A recording of 2·N stereo frames whose frames N … N + L − 1 (L = N − 1) hold one period of a
// steady stream: fills the other frames with the value the period holds for their phase (frame
// j: frame N + ((j − 1) mod L)), so the recording reads like two periods of the stream.
void RepeatStreamPeriod(int32_t* recording, std::size_t n);

}  // namespace fim
