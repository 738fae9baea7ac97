// src/core/: the measurement's own arithmetic and state. The shared buffers and settings of a
// run (MeasurementState), the MLS and its pink filter, the recovery of the impulse response from
// recorded periods, sample formats and the FFT engine with its kernels (also used by the Virtual
// Room's convolver).

#include "core/MeasurementState.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/Prompter.h"

namespace fim {

namespace {

struct BufferSpec {
    const char* tag;
    std::size_t bytes;
};

// Tags and sizes in allocation order.
constexpr BufferSpec kSpecs[SharedBuffers::Count] = {
    {"PLI", 262144},
    {"PLO", 524288},
    {"OSD", 7200},
    {"PLCR", 524288},
    {"PLR", 524288},
    {"PLD", 524288},
    {"MCD", 7200},
    {"DAPT", 2097152},
    {"PSC", 7200},
    {"SCF", 7200},
    {"POI", 7200},
    {"atcres", 2097152},
    {"ATCDATA", 1048576},
    {"AVL", 2097152},
    {"ILP1", 4194304},
    {"OLP", 4194304},
    {"RLP", 2097152},
    {"ILP2", 4194304},
    {"Sampleresult", 4194304},
};

}  // namespace

SharedBuffers::~SharedBuffers() {
    if (free_ == nullptr) return;
    for (auto& b : buffers_) {
        free_(b.data);
        b.data = nullptr;
    }
}

const char* SharedBuffers::Tag(Id id) { return kSpecs[id].tag; }
std::size_t SharedBuffers::Size(Id id) { return kSpecs[id].bytes; }

std::string SharedBuffers::AllocCaption(Id id) {
    std::string caption = std::string("Alloc ") + kSpecs[id].tag;
    if (id == PLD) caption += ' ';  // the caption has always carried this blank
    return caption;
}

void SharedBuffers::Allocate(const Allocator& alloc, const FatalHandler& onFatal) {
    if (Allocated()) return;  // allocated once; a second start-up call keeps the buffers
    free_ = &std::free;
    for (int i = 0; i < Count; ++i) {
        const auto id = static_cast<Id>(i);
        void* p = alloc ? alloc(kSpecs[i].bytes, kSpecs[i].tag) : std::calloc(kSpecs[i].bytes, 1);
        if (p == nullptr) {
            onFatal(AllocCaption(id));
            return;  // only reached when a test's handler returns
        }
        buffers_[i] = SharedBuffer{kSpecs[i].tag, kSpecs[i].bytes, static_cast<std::byte*>(p)};
    }
}

void MeasurementState::SetTemperature(double degrees) {
    Temperature = degrees;
    SoundSpeed = 0.6 * degrees + 331.3;
}

void MeasurementState::RecomputeDerived() {
    const int bytes = BytesPerSample(SampleBits);
    if (bytes == 2) FullScale = 32767;
    if (bytes == 4) FullScale = 0x7FFFFFFF;
    const double amplitude =
        std::nearbyint(std::pow(10.0, OutputLevelDb / 20.0) * static_cast<double>(FullScale));
    OutputAmplitude = static_cast<int32_t>(std::min(amplitude, static_cast<double>(FullScale)));
    LowLevelThreshold = static_cast<int32_t>(
        std::nearbyint(std::pow(10.0, -40.0 / 20.0) * static_cast<double>(FullScale)));
    MlsSize = 1 << MlsOrder;
}

void SelectFftSize(int index, int32_t& size, Prompter& prompter) {
    switch (index) {
        case 0:
            size = 2048;
            break;
        case 1:
            size = 4096;
            break;
        case 2:
            size = 8192;
            break;
        case 3:
            size = 16384;
            break;
        case 4:
        case 100:
            size = 32768;
            break;
        case 5:
            prompter.Inform("MIV V1.70", "ffticall using id5");
            break;
        default:
            break;
    }
}

int FftSizeIndex(int size) {
    switch (size) {
        case 2048:
            return 0;
        case 4096:
            return 1;
        case 8192:
            return 2;
        case 16384:
            return 3;
        case 32768:
            return 4;
        case 65536:
            return 5;
        default:
            return 0;
    }
}

MeasurementState& Meas() {
    static MeasurementState state;
    return state;
}

void InitMeasurementState(const SharedBuffers::Allocator& alloc,
                          const SharedBuffers::FatalHandler& onFatal) {
    Meas().buffers.Allocate(alloc, onFatal);
}

}  // namespace fim
