#include "audio/DeviceSet.h"

namespace fim {

WaveDevices* DeviceSet::Locate(int index, bool input, int& local) const {
    if (index < 0) return nullptr;
    for (WaveDevices* b : backEnds_) {
        const int count = input ? b->InputCount() : b->OutputCount();
        if (index < count) {
            local = index;
            return b;
        }
        index -= count;
    }
    return nullptr;
}

int DeviceSet::InputCount() const {
    int n = 0;
    for (const WaveDevices* b : backEnds_) n += b->InputCount();
    return n;
}

int DeviceSet::OutputCount() const {
    int n = 0;
    for (const WaveDevices* b : backEnds_) n += b->OutputCount();
    return n;
}

std::string DeviceSet::InputName(int index) const {
    int local = 0;
    WaveDevices* b = Locate(index, true, local);
    return b != nullptr ? b->InputName(local) : std::string();
}

std::string DeviceSet::OutputName(int index) const {
    int local = 0;
    WaveDevices* b = Locate(index, false, local);
    return b != nullptr ? b->OutputName(local) : std::string();
}

int DeviceSet::DefaultInput() const {
    int base = 0;
    for (const WaveDevices* b : backEnds_) {
        if (const int d = b->DefaultInput(); d >= 0) return base + d;
        base += b->InputCount();
    }
    return -1;
}

int DeviceSet::DefaultOutput() const {
    int base = 0;
    for (const WaveDevices* b : backEnds_) {
        if (const int d = b->DefaultOutput(); d >= 0) return base + d;
        base += b->OutputCount();
    }
    return -1;
}

bool DeviceSet::InputSupports(int index, const DeviceFormat& format) const {
    int local = 0;
    WaveDevices* b = Locate(index, true, local);
    return b != nullptr && b->InputSupports(local, format);
}

bool DeviceSet::OutputSupports(int index, const DeviceFormat& format) const {
    int local = 0;
    WaveDevices* b = Locate(index, false, local);
    return b != nullptr && b->OutputSupports(local, format);
}

int DeviceSet::OpenInput(int index, const DeviceFormat& format, WaveCallback* callback) {
    if (InputOpen()) return kWaveAllocated;
    int local = 0;
    WaveDevices* b = Locate(index, true, local);
    if (b == nullptr) return kWaveBadDeviceId;
    const int r = b->OpenInput(local, format, callback);
    if (r == kWaveOk) {
        inOwner_ = b;
    } else {
        lastFailed_ = b;
    }
    return r;
}

int DeviceSet::OpenOutput(int index, const DeviceFormat& format, WaveCallback* callback) {
    if (OutputOpen()) return kWaveAllocated;
    int local = 0;
    WaveDevices* b = Locate(index, false, local);
    if (b == nullptr) return kWaveBadDeviceId;
    const int r = b->OpenOutput(local, format, callback);
    if (r == kWaveOk) {
        outOwner_ = b;
    } else {
        lastFailed_ = b;
    }
    return r;
}

int DeviceSet::CloseInput() {
    if (In() == nullptr) return kWaveInvalidHandle;
    const int r = In()->CloseInput();
    if (!In()->InputOpen()) inOwner_ = nullptr;
    return r;
}

int DeviceSet::CloseOutput() {
    if (Out() == nullptr) return kWaveInvalidHandle;
    const int r = Out()->CloseOutput();
    if (!Out()->OutputOpen()) outOwner_ = nullptr;
    return r;
}

std::string DeviceSet::ErrorText(int result) const {
    const WaveDevices* b = lastFailed_ != nullptr ? lastFailed_ : Out() != nullptr ? Out() : In();
    return b != nullptr ? b->ErrorText(result) : WaveResultText(result);
}

}  // namespace fim
