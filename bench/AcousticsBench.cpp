// The room-acoustic analysis of a whole response in octave bands, to be read against one padded
// FFTW cross-correlation of the same order (BM_FftwPaddedCorrelation in RecoveryBench.cpp): the
// window should fill as fast as a few such correlations.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "acoustics/RoomAcoustics.h"
#include "audio/VirtualRoom.h"

namespace {

using namespace fim;

void BM_RoomAcoustics(benchmark::State& state) {
    const int order = static_cast<int>(state.range(0));
    const std::size_t length = (std::size_t{1} << order) - 1;
    // A one-second room 200 samples in, as a time-aligned measurement shows it, over a faint
    // noise floor.
    RoomParameters p;
    p.reverbTime = 1.0;
    const std::vector<double> room = BuildRoomResponse(p, 44100);
    std::vector<double> ir(length, 0.0);
    uint32_t noise = 12345;
    for (std::size_t k = 0; k < length; ++k) {
        noise = noise * 1664525u + 1013904223u;
        ir[k] = 1e-5 * (static_cast<double>(noise >> 8) / 16777216.0 - 0.5);
        if (k >= 200 && k - 200 < room.size()) ir[k] += room[k - 200];
    }
    for (auto _ : state) {
        const AcousticsResult r = AnalyseRoom(ir.data(), ir.size(), 44100.0);
        benchmark::DoNotOptimize(r.bands.data());
    }
}

BENCHMARK(BM_RoomAcoustics)->Arg(16)->Arg(18)->Unit(benchmark::kMillisecond);

}  // namespace
