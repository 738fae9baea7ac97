#include "spectrum/TimeWindow.h"

#include <algorithm>
#include <cmath>

namespace fim {

namespace {

void PutI32(uint8_t* p, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t GetI32(const uint8_t* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

}  // namespace

TimeWindow MakeTimeWindow(const char* name, int32_t before, int32_t after) {
    TimeWindow w;
    w.name = name;
    w.timeBefore = before;
    w.timeAfter = after;
    w.samplesBefore = TimeWindow::SamplesFor(before, 44100.0);
    w.samplesAfter = TimeWindow::SamplesFor(after, 44100.0);
    return w;
}

std::array<uint8_t, TimeWindow::kBytes> TimeWindow::Encode() const {
    std::array<uint8_t, kBytes> b{};
    const std::size_t n = std::min(name.size(), kMaxName);
    b[0] = static_cast<uint8_t>(n);
    std::copy_n(name.begin(), n, b.begin() + 1);
    PutI32(&b[32], timeBefore);
    PutI32(&b[36], timeAfter);
    PutI32(&b[40], samplesBefore);
    PutI32(&b[44], samplesAfter);
    return b;
}

bool TimeWindow::Decode(const uint8_t* data, std::size_t size, TimeWindow& out) {
    if (data == nullptr || size != kBytes) return false;
    const std::size_t n = std::min<std::size_t>(data[0], kMaxName);
    out.name.assign(reinterpret_cast<const char*>(data + 1), n);
    out.timeBefore = GetI32(data + 32);
    out.timeAfter = GetI32(data + 36);
    out.samplesBefore = GetI32(data + 40);
    out.samplesAfter = GetI32(data + 44);
    return true;
}

int32_t TimeWindow::SamplesFor(int32_t microseconds, double sampleRate) {
    return static_cast<int32_t>(std::nearbyint(microseconds / 1000000.0 * sampleRate));
}

void EncodeTimeWindow(const TimeWindow& w, std::vector<uint8_t>& out, std::size_t at) {
    const auto bytes = w.Encode();
    if (out.size() < at + TimeWindow::kBytes) out.resize(at + TimeWindow::kBytes, 0);
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

TimeWindow DecodeTimeWindow(const std::vector<uint8_t>& block, std::size_t at) {
    std::array<uint8_t, TimeWindow::kBytes> part{};
    for (std::size_t i = 0; i < TimeWindow::kBytes && at + i < block.size(); ++i) {
        part[i] = block[at + i];
    }
    TimeWindow w;
    TimeWindow::Decode(part.data(), part.size(), w);
    return w;
}

std::vector<uint8_t> EncodeTimeWindow(const TimeWindow& w) {
    std::vector<uint8_t> out;
    EncodeTimeWindow(w, out, 0);
    return out;
}

TimeWindow DecodeTimeWindow(const std::vector<uint8_t>& block) {
    return DecodeTimeWindow(block, 0);
}

TimeWindow TenMsWindow() { return MakeTimeWindow("10ms (100Hz)", 400, 9600); }
TimeWindow TwentyMsWindow() { return MakeTimeWindow("20ms (50 Hz)", 600, 19400); }

}  // namespace fim
