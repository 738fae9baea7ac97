#include "audio/VirtualRoom.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "base/SettingsTree.h"

namespace fim {

namespace {

// splitmix64: small, fast and the same on every platform, so a seed gives the same room anywhere.
uint64_t NextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in [−1, 1).
double NextUniform(uint64_t& state) {
    return static_cast<double>(NextRandom(state) >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

// A second-order Butterworth section (bilinear transform) run over a signal in place.
void Butterworth(std::vector<double>& x, double cutoff, double rate, bool highPass) {
    const double k = std::tan(std::numbers::pi * cutoff / rate);
    const double q = std::numbers::sqrt2;
    const double norm = 1.0 / (1.0 + q * k + k * k);
    double b0, b1, b2;
    if (highPass) {
        b0 = norm;
        b1 = -2.0 * norm;
        b2 = norm;
    } else {
        b0 = k * k * norm;
        b1 = 2.0 * b0;
        b2 = b0;
    }
    const double a1 = 2.0 * (k * k - 1.0) * norm;
    const double a2 = (1.0 - q * k + k * k) * norm;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (double& v : x) {
        const double y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = v;
        y2 = y1;
        y1 = y;
        v = y;
    }
}

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

struct Range {
    const char* key;
    const char* settingsName;
    double low, high;
    double RoomParameters::*field;
};

constexpr Range kRanges[] = {
    {"distance", "VirtualRoom Distance", 0.1, 100.0, &RoomParameters::distance},
    {"reverb", "VirtualRoom Reverb", 0.05, 3.0, &RoomParameters::reverbTime},
    {"noise", "VirtualRoom Noise", kRoomNoiseOffDb, 0.0, &RoomParameters::noiseDb},
    {"gain", "VirtualRoom Gain", -100.0, 60.0, &RoomParameters::gainDb},
    {"latency", "VirtualRoom Latency", 0.0, 500.0, &RoomParameters::latencyMs},
    {"temperature", "VirtualRoom Temperature", -40.0, 60.0, &RoomParameters::temperature},
    {"ppm", "VirtualRoom ClockPpm", -1000.0, 1000.0, &RoomParameters::clockPpm},
    {"feedback_frequency", "VirtualRoom Feedback Frequency", 20.0, 20000.0,
     &RoomParameters::feedbackFrequency},
    {"feedback_level", "VirtualRoom Feedback Level", -100.0, 0.0, &RoomParameters::feedbackLevel},
    {"feedback_delay", "VirtualRoom Feedback Delay", 0.0, 600.0, &RoomParameters::feedbackDelay},
    {"feedback_length", "VirtualRoom Feedback Length", 0.0, 3600.0,
     &RoomParameters::feedbackLength},
    {"seat_step", "VirtualRoom Seat Step", 0.0, 20.0, &RoomParameters::seatStep},
};

// The tone starts this far below full scale: under one step of 16 bits, i.e. silence.
constexpr double kFeedbackFloorDb = -100.0;

constexpr double kDirectAtOneMetre = 0.35;

// One played frame into the room's 16-bit samples: 2-byte samples as they are, 4-byte samples
// by their top 16 bits.
void CopyFrameIn(int16_t* to, const std::byte* from, int channels, std::size_t align) {
    if (align == 2 * static_cast<std::size_t>(channels)) {
        std::memcpy(to, from, align);
        return;
    }
    for (int c = 0; c < channels; ++c) {
        const auto* b = reinterpret_cast<const uint8_t*>(from) + 4 * std::size_t(c);
        const uint32_t u =
            uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        to[c] = static_cast<int16_t>(static_cast<int32_t>(u) >> 16);
    }
}

// One recorded frame from the room's 16-bit samples into the device format.
void CopyFrameOut(std::byte* to, const int16_t* from, int channels, std::size_t align) {
    if (align == 2 * static_cast<std::size_t>(channels)) {
        std::memcpy(to, from, align);
        return;
    }
    for (int c = 0; c < channels; ++c) {
        const uint32_t u = static_cast<uint32_t>(int32_t{from[c]}) << 16;
        auto* b = reinterpret_cast<uint8_t*>(to) + 4 * std::size_t(c);
        b[0] = uint8_t(u);
        b[1] = uint8_t(u >> 8);
        b[2] = uint8_t(u >> 16);
        b[3] = uint8_t(u >> 24);
    }
}

}  // namespace

RoomParameters RoomParameters::ForSeat(int seat) const {
    RoomParameters p = *this;
    const int k = std::max(0, seat);
    p.distance = std::clamp(distance + k * seatStep, 0.1, 100.0);
    p.seed = seed + static_cast<uint32_t>(k);
    return p;
}

int RoomParameters::LatencySamples(uint32_t rate) const {
    return static_cast<int>(std::nearbyint(latencyMs * rate / 1000.0));
}

std::optional<std::string> RoomParameters::Set(const std::string& keyValue) {
    const auto eq = keyValue.find('=');
    if (eq == std::string::npos) return "room parameter \"" + keyValue + "\" is not KEY=VALUE";
    const std::string key = keyValue.substr(0, eq);
    const std::string text = keyValue.substr(eq + 1);
    double v = 0;
    if (!ParseNumber(text, v)) {
        return "room parameter " + key + ": \"" + text + "\" is not a number";
    }
    if (key == "seed") {
        if (v < 0 || v > 4294967295.0 || v != std::floor(v)) {
            return "room parameter seed must be a whole number 0 … 4294967295";
        }
        seed = static_cast<uint32_t>(v);
        return std::nullopt;
    }
    if (key == "feedback") {
        if (v != 0 && v != 1) return std::string("room parameter feedback must be 0 or 1");
        feedback = v == 1;
        return std::nullopt;
    }
    for (const auto& r : kRanges) {
        if (key != r.key) continue;
        if (v < r.low || v > r.high) {
            char buf[160];
            std::snprintf(buf, sizeof buf, "room parameter %s must lie between %g and %g", r.key,
                          r.low, r.high);
            return std::string(buf);
        }
        this->*r.field = v;
        return std::nullopt;
    }
    return "unknown room parameter \"" + key +
           "\" (distance, reverb, noise, gain, latency, temperature, ppm, seed, feedback, "
           "feedback_frequency, feedback_level, feedback_delay, feedback_length, seat_step)";
}

void RoomParameters::Load(const SettingsTree& tree) {
    for (const auto& r : kRanges) {
        if (auto v = tree.ReadFloat(r.settingsName); v && *v >= r.low && *v <= r.high) {
            this->*r.field = *v;
        }
    }
    if (auto v = tree.ReadInteger("VirtualRoom Seed")) seed = static_cast<uint32_t>(*v);
    if (auto v = tree.ReadBool("VirtualRoom Feedback")) feedback = *v;
}

void RoomParameters::Store(SettingsTree& tree) const {
    for (const auto& r : kRanges) tree.WriteFloat(r.settingsName, this->*r.field);
    tree.WriteInteger("VirtualRoom Seed", static_cast<int32_t>(seed));
    tree.WriteBool("VirtualRoom Feedback", feedback);
}

double RoomParameters::FeedbackAmplitude(double seconds) const {
    if (!feedback || seconds < 0) return 0.0;
    if (feedbackLength > 0 && seconds >= feedbackDelay + feedbackLength) return 0.0;
    double db = feedbackLevel;
    if (seconds < feedbackDelay) {
        db = kFeedbackFloorDb + (feedbackLevel - kFeedbackFloorDb) * seconds / feedbackDelay;
    }
    return std::pow(10.0, db / 20.0) * 32767.0;
}

std::vector<double> BuildRoomResponse(const RoomParameters& p, uint32_t rate) {
    const double fs = rate;
    const double c = p.SoundSpeed();
    const double direct = p.DirectDelaySamples(rate);
    const double tailLength = std::max(0.05, p.reverbTime) * fs;
    const std::size_t length = static_cast<std::size_t>(std::ceil(direct + tailLength)) + 64;
    std::vector<double> h(length, 0.0);
    uint64_t rng = 0x5EED0000ull ^ p.seed;

    const double directAmplitude = kDirectAtOneMetre / p.distance;
    h[static_cast<std::size_t>(std::nearbyint(direct))] += directAmplitude;

    // A few early reflections: image sources 1 … 12 m further away, weaker by the longer path and
    // by the absorption of the surface they come from.
    for (int i = 0; i < 6; ++i) {
        const double extra = 1.0 + 11.0 * (NextUniform(rng) + 1.0) / 2.0;
        const double delay = (p.distance + extra) / c * fs;
        const std::size_t at = static_cast<std::size_t>(std::nearbyint(delay));
        const double sign = NextUniform(rng) < 0 ? -1.0 : 1.0;
        if (at < length) h[at] += sign * 0.6 * kDirectAtOneMetre / (p.distance + extra);
    }

    // Diffuse tail: noise decaying by 60 dB over the reverberation time, from 4 ms after the
    // direct sound; its level does not depend on the distance.
    const double tailStart = direct + 0.004 * fs;
    const double decay = 6.907755278982137 / (std::max(0.05, p.reverbTime) * fs);  // ln(1000)
    for (std::size_t n = static_cast<std::size_t>(std::ceil(tailStart)); n < length; ++n) {
        const double t = static_cast<double>(n) - direct;
        h[n] += 0.015 * kDirectAtOneMetre * NextUniform(rng) * std::exp(-decay * t);
    }

    // The loudspeaker: a band-pass of 70 Hz … 14 kHz (or 0.4 · rate when that is lower).
    Butterworth(h, 70.0, fs, true);
    Butterworth(h, std::min(14000.0, 0.4 * fs), fs, false);
    return h;
}

RoomSimulator::RoomSimulator(const RoomParameters& p, uint32_t rate, double clockDelay)
    : rate_(rate),
      latency_(p.LatencySamples(rate)),
      gain_(std::pow(10.0, p.gainDb / 20.0)),
      // The lowest setting is no noise at all: the room then records the same period every time.
      noiseAmplitude_(p.noiseDb <= kRoomNoiseOffDb
                          ? 0.0
                          : std::pow(10.0, p.noiseDb / 20.0) * 32767.0 * std::sqrt(3.0)),
      noiseState_(0xA0015Eull ^ (static_cast<uint64_t>(p.seed) << 17)),
      convolver_(1024),
      params_(p) {
    std::vector<double> h = BuildRoomResponse(p, rate);
    h.insert(h.begin(), static_cast<std::size_t>(latency_), 0.0);
    convolver_.SetResponse(h);
    delayLine_.assign(static_cast<std::size_t>(latency_) + 1, 0.0);
    x_.assign(kChunk, 0.0);
    y_.assign(kChunk, 0.0);
    if (p.clockPpm != 0.0) {
        // The kernel table is built here, not on the audio thread's first read.
        FractionalReader::Prepare();
        clockStep_ = p.clockPpm * 1e-6;
        // A fresh pair of clocks starts at the end of the range it drifts away from.
        const double start = clockStep_ > 0 ? kMinClockDelay : kMinClockDelay + kClockSlip;
        clockDelay_ = clockDelay >= kMinClockDelay && clockDelay <= kMinClockDelay + kClockSlip
                          ? clockDelay
                          : start;
        history_.assign(2 * kHistory, 0.0);
    }
}

void RoomSimulator::ReadDrifted(double left, double right, double& outLeft, double& outRight) {
    history_[2 * historyPos_] = left;
    history_[2 * historyPos_ + 1] = right;
    // Read position measured back from the newest sample: `clockDelay_` samples ago.
    const double back = clockDelay_;
    const double base = std::floor(back);
    const double frac = back - base;
    const auto nearest = static_cast<std::size_t>(base);
    // Gather the 32 samples around the position oldest first into a small frame for the kernel.
    constexpr int kTaps = 2 * FractionalReader::kHalf;
    double l[kTaps + 1], r[kTaps + 1];
    for (int i = 0; i <= kTaps; ++i) {
        // Element i lies nearest + kHalf − i samples back.
        const std::size_t age = nearest + FractionalReader::kHalf - static_cast<std::size_t>(i);
        const std::size_t at = (historyPos_ + kHistory - age) & (kHistory - 1);
        l[i] = history_[2 * at];
        r[i] = history_[2 * at + 1];
    }
    // In that frame the newest-but-`back` instant sits at kHalf − frac.
    const double pos = double(FractionalReader::kHalf) - frac;
    outLeft = readerLeft_.At(l, kTaps + 1, 1, pos);
    outRight = readerRight_.At(r, kTaps + 1, 1, pos);
    historyPos_ = (historyPos_ + 1) & (kHistory - 1);
    clockDelay_ += clockStep_;
    if (clockDelay_ > kMinClockDelay + kClockSlip) clockDelay_ -= kClockSlip;
    if (clockDelay_ < kMinClockDelay) clockDelay_ += kClockSlip;
}

double RoomSimulator::NextNoise() { return noiseAmplitude_ * NextUniform(noiseState_); }

double RoomSimulator::NextFeedback() {
    if (!params_.feedback) return 0.0;
    const double a = params_.FeedbackAmplitude(static_cast<double>(ticks_) / rate_);
    const double v = a * std::sin(feedbackPhase_);
    feedbackPhase_ += 2.0 * std::numbers::pi * params_.feedbackFrequency / rate_;
    if (feedbackPhase_ >= 2.0 * std::numbers::pi) feedbackPhase_ -= 2.0 * std::numbers::pi;
    return v;
}

void RoomSimulator::Process(const int16_t* output, int outChannels, int16_t* input, int inChannels,
                            std::size_t frames) {
    auto clip = [](double v) {
        return static_cast<int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
    };
    while (frames > 0) {
        const std::size_t n = std::min(frames, kChunk);
        for (std::size_t i = 0; i < n; ++i) {
            if (output == nullptr) {
                x_[i] = 0.0;
            } else if (outChannels == 2) {
                x_[i] = 0.5 * (double(output[2 * i]) + double(output[2 * i + 1]));
            } else {
                x_[i] = output[i];
            }
        }
        convolver_.Process(x_.data(), y_.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            delayLine_[delayPos_] = x_[i];
            const std::size_t size = delayLine_.size();
            const double reference = delayLine_[(delayPos_ + 1) % size];
            delayPos_ = (delayPos_ + 1) % size;
            double left = gain_ * reference;
            double right = gain_ * y_[i];
            if (clockStep_ != 0.0) ReadDrifted(left, right, left, right);
            left += NextNoise();
            right += NextNoise() + NextFeedback();
            ++ticks_;
            if (input == nullptr) continue;
            if (inChannels == 2) {
                input[2 * i] = clip(left);
                input[2 * i + 1] = clip(right);
            } else {
                input[i] = clip(right);
            }
        }
        if (output != nullptr) output += n * static_cast<std::size_t>(outChannels);
        if (input != nullptr) input += n * static_cast<std::size_t>(inChannels);
        frames -= n;
    }
}

// ---------------------------------------------------------------------------------------------

namespace {
constexpr std::size_t kRealTimeChunk = 256;
constexpr std::size_t kFastChunk = 8192;
constexpr int kMaxEvents = 64;
}  // namespace

bool VirtualRoom::Queue::Push(WaveHeader* h) {
    if (count == kQueueSize) return false;
    items[(head + count) % kQueueSize] = h;
    ++count;
    return true;
}

void VirtualRoom::Queue::PopFront() {
    head = (head + 1) % kQueueSize;
    --count;
    position = 0;
}

VirtualRoom::VirtualRoom(const RoomParameters& p) : params_(p) {
    thread_ = std::thread([this] { Run(); });
}

VirtualRoom::~VirtualRoom() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void VirtualRoom::SetParameters(const RoomParameters& p) {
    std::lock_guard lock(mutex_);
    params_ = p;
    wake_.notify_all();
}

void VirtualRoom::Disconnect() {
    std::lock_guard lock(mutex_);
    disconnected_ = true;
    lostReported_ = false;
    wake_.notify_all();
}

void VirtualRoom::DisconnectAfterBuffers(int buffers) {
    std::lock_guard lock(mutex_);
    disconnectAfter_ = std::max(buffers, 0);
}

void VirtualRoom::Reconnect() {
    std::lock_guard lock(mutex_);
    disconnected_ = false;
    wake_.notify_all();
}

std::string VirtualRoom::InputName(int index) const { return index == 0 ? kVirtualRoomName : ""; }
std::string VirtualRoom::OutputName(int index) const { return index == 0 ? kVirtualRoomName : ""; }

bool VirtualRoom::Supports(const DeviceFormat& f) const {
    // 16 bits in 2-byte samples; 20 and 24 bits in 4-byte containers (full scale 2^31), which
    // the room renders at 16-bit resolution.
    const bool wide = f.bitsPerSample == 20 || f.bitsPerSample == 24;
    const int bytes = wide ? 4 : 2;
    return f.formatTag == 1 && (f.bitsPerSample == 16 || wide) &&
           (f.channels == 1 || f.channels == 2) && f.samplesPerSec >= 8000 &&
           f.samplesPerSec <= 192000 && f.blockAlign == bytes * f.channels &&
           f.avgBytesPerSec == f.blockAlign * f.samplesPerSec;
}

bool VirtualRoom::InputSupports(int index, const DeviceFormat& f) const {
    return index == 0 && Supports(f);
}
bool VirtualRoom::OutputSupports(int index, const DeviceFormat& f) const {
    return index == 0 && Supports(f);
}

bool VirtualRoom::InputOpen() const {
    std::lock_guard lock(mutex_);
    return in_.open;
}
bool VirtualRoom::OutputOpen() const {
    std::lock_guard lock(mutex_);
    return out_.open;
}

uint64_t VirtualRoom::InputFramesDropped() const {
    return inDropped_.load(std::memory_order_acquire);
}

uint64_t VirtualRoom::OutputFramesStarved() const {
    return outStarved_.load(std::memory_order_acquire);
}

int VirtualRoom::Open(Direction& d, int index, const DeviceFormat& format, WaveCallback* callback) {
    if (disconnected_) return kWaveNoDriver;
    if (index != 0) return kWaveBadDeviceId;
    if (!Supports(format)) return kWaveBadFormat;
    if (d.open) return kWaveAllocated;
    const Direction& other = (&d == &in_) ? out_ : in_;
    if (other.open && other.format.samplesPerSec != format.samplesPerSec) return kWaveBadFormat;
    if (!room_) {
        room_ = std::make_unique<RoomSimulator>(params_, format.samplesPerSec, clockDelay_);
        playBuffer_.assign(2 * kFastChunk, 0);
        recordBuffer_.assign(2 * kFastChunk, 0);
    }
    d.open = true;
    d.format = format;
    d.callback = callback;
    d.queue = Queue{};
    wake_.notify_all();
    return kWaveOk;
}

int VirtualRoom::OpenInput(int index, const DeviceFormat& format, WaveCallback* callback) {
    std::lock_guard lock(mutex_);
    const int r = Open(in_, index, format, callback);
    if (r == kWaveOk) recording_ = false;
    return r;
}

int VirtualRoom::OpenOutput(int index, const DeviceFormat& format, WaveCallback* callback) {
    std::lock_guard lock(mutex_);
    const int r = Open(out_, index, format, callback);
    if (r == kWaveOk) paused_ = false;
    return r;
}

int VirtualRoom::AddInputBuffer(WaveHeader& header) {
    std::lock_guard lock(mutex_);
    if (disconnected_) return kWaveNoDriver;
    if (!in_.open) return kWaveInvalidHandle;
    if (in_.queue.count == kQueueSize) return kWaveNoMem;
    if (const int r = MarkQueued(header, true); r != kWaveOk) return r;
    in_.queue.Push(&header);
    wake_.notify_all();
    return kWaveOk;
}

int VirtualRoom::StartInput() {
    std::lock_guard lock(mutex_);
    if (disconnected_) return kWaveNoDriver;
    if (!in_.open) return kWaveInvalidHandle;
    recording_ = true;
    wake_.notify_all();
    return kWaveOk;
}

int VirtualRoom::StopInput() {
    std::lock_guard lock(mutex_);
    if (!in_.open) return kWaveInvalidHandle;
    recording_ = false;
    // The header being filled is handed back with what it holds; empty ones stay queued.
    if (WaveHeader* h = in_.queue.Front(); h != nullptr && in_.queue.position > 0) {
        MarkDone(*h);
        in_.queue.PopFront();
        if (in_.callback != nullptr) in_.callback->OnWaveEvent(WaveEventKind::InputDone, h, 0);
    }
    return disconnected_ ? kWaveNoDriver : kWaveOk;
}

void VirtualRoom::ResetQueue(Queue& q) {
    while (WaveHeader* h = q.Front()) {
        MarkDone(*h);
        q.PopFront();
    }
    q = Queue{};
}

int VirtualRoom::ResetInput() {
    std::lock_guard lock(mutex_);
    if (!in_.open) return kWaveInvalidHandle;
    recording_ = false;
    ResetQueue(in_.queue);
    return kWaveOk;
}

int VirtualRoom::CloseInput() {
    std::lock_guard lock(mutex_);
    if (!in_.open) return kWaveInvalidHandle;
    if (in_.queue.count > 0 && !disconnected_) return kWaveStillPlaying;
    ResetQueue(in_.queue);
    in_.open = false;
    in_.callback = nullptr;
    recording_ = false;
    if (!out_.open) CloseRoom();
    return kWaveOk;
}

void VirtualRoom::CloseRoom() {
    if (room_ && params_.clockPpm != 0.0) clockDelay_ = room_->ClockDelay();
    room_.reset();
}

int VirtualRoom::WriteOutput(WaveHeader& header) {
    std::lock_guard lock(mutex_);
    if (disconnected_) return kWaveNoDriver;
    if (!out_.open) return kWaveInvalidHandle;
    if (out_.queue.count == kQueueSize) return kWaveNoMem;
    if (const int r = MarkQueued(header, false); r != kWaveOk) return r;
    out_.queue.Push(&header);
    wake_.notify_all();
    return kWaveOk;
}

int VirtualRoom::PauseOutput() {
    std::lock_guard lock(mutex_);
    if (!out_.open) return kWaveInvalidHandle;
    paused_ = true;
    return disconnected_ ? kWaveNoDriver : kWaveOk;
}

int VirtualRoom::RestartOutput() {
    std::lock_guard lock(mutex_);
    if (!out_.open) return kWaveInvalidHandle;
    paused_ = false;
    wake_.notify_all();
    return disconnected_ ? kWaveNoDriver : kWaveOk;
}

int VirtualRoom::ResetOutput() {
    std::lock_guard lock(mutex_);
    if (!out_.open) return kWaveInvalidHandle;
    ResetQueue(out_.queue);
    paused_ = false;
    return kWaveOk;
}

int VirtualRoom::CloseOutput() {
    std::lock_guard lock(mutex_);
    if (!out_.open) return kWaveInvalidHandle;
    if (out_.queue.count > 0 && !disconnected_) return kWaveStillPlaying;
    ResetQueue(out_.queue);
    out_.open = false;
    out_.callback = nullptr;
    if (!in_.open) CloseRoom();
    return kWaveOk;
}

bool VirtualRoom::HasWork() const {
    if (!room_ || disconnected_) return false;
    if (out_.open) {
        return !paused_ && out_.queue.count > 0 &&
               (!in_.open || !recording_ || in_.queue.count > 0);
    }
    return in_.open && recording_ && in_.queue.count > 0;
}

std::size_t VirtualRoom::RenderLocked(std::size_t maxFrames) {
    struct Pending {
        WaveCallback* callback;
        WaveEventKind kind;
        WaveHeader* header;
    };
    Pending events[kMaxEvents];
    int eventCount = 0;

    const bool playing = out_.open && !paused_;
    std::size_t frames = maxFrames;
    // Frames still to go in a direction's queued headers.
    auto queuedFrames = [](const Direction& d) {
        std::size_t bytes = 0;
        for (int i = 0; i < d.queue.count; ++i) {
            bytes += d.queue.items[(d.queue.head + i) % kQueueSize]->bufferLength;
        }
        return (bytes - d.queue.position) / d.format.blockAlign;
    };
    if (!params_.realTime && out_.open) {
        // Fast mode: the clock runs only as far as the queued output reaches, and no further
        // than a queued input header reaches: nothing is lost while the consumer takes its
        // recordings.
        frames = std::min(frames, playing ? queuedFrames(out_) : 0);
        if (in_.open && recording_) frames = std::min(frames, queuedFrames(in_));
    } else if (!params_.realTime && in_.open) {
        // Fast mode with only an input: as far as the queued headers reach, so the recording
        // stays continuous however slowly the consumer queues them.
        frames = std::min(frames, queuedFrames(in_));
    }
    if (frames == 0) return 0;

    const int outChannels = out_.open ? out_.format.channels : 2;
    const std::size_t outAlign = out_.open ? out_.format.blockAlign : 4;
    int16_t* play = playBuffer_.data();
    std::fill(play, play + frames * outChannels, int16_t{0});
    if (playing) {
        for (std::size_t i = 0; i < frames; ++i) {
            WaveHeader* h = out_.queue.Front();
            if (h == nullptr) {
                outStarved_.fetch_add(frames - i, std::memory_order_release);
                break;
            }
            CopyFrameIn(play + i * outChannels, h->data + out_.queue.position, outChannels,
                        outAlign);
            out_.queue.position += outAlign;
            if (out_.queue.position + outAlign > h->bufferLength) {
                MarkDone(*h);
                out_.queue.PopFront();
                if (out_.callback != nullptr && eventCount < kMaxEvents) {
                    events[eventCount++] = {out_.callback, WaveEventKind::OutputDone, h};
                }
            }
        }
    }

    const bool capture = in_.open && recording_;
    const int inChannels = in_.open ? in_.format.channels : 2;
    room_->Process(play, outChannels, capture ? recordBuffer_.data() : nullptr, inChannels, frames);
    if (capture) {
        const std::size_t inAlign = in_.format.blockAlign;
        const int16_t* rec = recordBuffer_.data();
        for (std::size_t i = 0; i < frames; ++i) {
            WaveHeader* h = in_.queue.Front();
            if (h == nullptr) {  // nothing queued: the frames are lost, as on a sound card
                inDropped_.fetch_add(frames - i, std::memory_order_release);
                break;
            }
            CopyFrameOut(h->data + in_.queue.position, rec + i * inChannels, inChannels, inAlign);
            in_.queue.position += inAlign;
            h->bytesRecorded.store(static_cast<uint32_t>(in_.queue.position),
                                   std::memory_order_release);
            if (in_.queue.position + inAlign > h->bufferLength) {
                MarkDone(*h);
                in_.queue.PopFront();
                if (in_.callback != nullptr && eventCount < kMaxEvents) {
                    events[eventCount++] = {in_.callback, WaveEventKind::InputDone, h};
                }
                if (disconnectAfter_ > 0 && --disconnectAfter_ == 0) {
                    // The device fails right after this buffer; the thread reports it next.
                    disconnected_ = true;
                    lostReported_ = false;
                    break;
                }
            }
        }
    }
    // Notifications go out after the whole chunk: an output that finishes in the same chunk as
    // the recording it drove is reported only once that recording is complete.
    for (int i = 0; i < eventCount; ++i) {
        events[i].callback->OnWaveEvent(events[i].kind, events[i].header, 0);
    }
    return frames;
}

void VirtualRoom::Run() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    bool clockRunning = false;
    Clock::time_point next;
    double carry = 0.0;  // fractional nanoseconds of the sample clock
    while (!quit_) {
        if (disconnected_) {
            clockRunning = false;
            if (!lostReported_) {
                lostReported_ = true;
                recording_ = false;
                if (in_.open && in_.callback != nullptr) {
                    in_.callback->OnWaveEvent(WaveEventKind::DeviceLost, nullptr, kWaveNoDriver);
                }
                if (out_.open && out_.callback != nullptr) {
                    out_.callback->OnWaveEvent(WaveEventKind::DeviceLost, nullptr, kWaveNoDriver);
                }
            }
            wake_.wait(lock, [&] { return quit_ || !disconnected_ || !lostReported_; });
            continue;
        }
        if (params_.realTime) {
            if (!room_) {
                clockRunning = false;
                wake_.wait(lock, [&] { return quit_ || room_ || disconnected_; });
                continue;
            }
            const auto now = Clock::now();
            if (!clockRunning || now - next > std::chrono::milliseconds(500)) {
                next = now;  // first tick, or the machine stalled: do not race to catch up
                clockRunning = true;
            }
            RenderLocked(kRealTimeChunk);
            const double rate =
                double(out_.open ? out_.format.samplesPerSec : in_.format.samplesPerSec);
            const double ns = 1e9 * double(kRealTimeChunk) / rate + carry;
            const auto whole = static_cast<long long>(ns);
            carry = ns - double(whole);
            next += std::chrono::nanoseconds(whole);
            wake_.wait_until(lock, next, [&] { return quit_ || disconnected_ || !room_; });
        } else {
            clockRunning = false;
            wake_.wait(lock, [&] { return quit_ || disconnected_ || HasWork(); });
            if (HasWork()) RenderLocked(kFastChunk);
        }
    }
}

}  // namespace fim
