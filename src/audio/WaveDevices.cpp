#include "audio/WaveDevices.h"

#include "core/SampleFormat.h"

namespace fim {

std::string WaveResultText(int result) {
    switch (result) {
        case kWaveOk:
            return "The command was carried out.";
        case kWaveError:
            return "Undefined external error.";
        case kWaveBadDeviceId:
            return "A device ID has been used that is out of range for your system.";
        case kWaveAllocated:
            return "The specified device is already in use. Wait until it is free, and then try "
                   "again.";
        case kWaveInvalidHandle:
            return "The specified device handle is invalid.";
        case kWaveNoDriver:
            return "There is no driver installed on your system, or the device was removed.";
        case kWaveNoMem:
            return "There is not enough memory available for this task.";
        case kWaveInvalidParam:
            return "An invalid parameter was passed to a system function.";
        case kWaveBadFormat:
            return "The specified format is not supported or cannot be translated.";
        case kWaveStillPlaying:
            return "This operation cannot be performed while media data is still playing.";
        case kWaveUnprepared:
            return "The wave header was not prepared.";
        default:
            return "Unknown sound device error " + std::to_string(result) + ".";
    }
}

DeviceFormat MakePcmFormat(int channels, uint32_t rate, int bits) {
    DeviceFormat f;
    f.formatTag = 1;
    f.channels = static_cast<uint16_t>(channels);
    f.samplesPerSec = rate;
    f.bitsPerSample = static_cast<uint16_t>(bits);
    f.blockAlign = static_cast<uint16_t>(BytesPerSample(bits) * channels);
    f.avgBytesPerSec = f.blockAlign * rate;
    return f;
}

void WaveHeader::Setup(std::byte* buffer, uint32_t length, uint32_t userValue) {
    data = buffer;
    bufferLength = length;
    bytesRecorded.store(0, std::memory_order_relaxed);
    user = userValue;
    flags.store(0, std::memory_order_release);
    loops = 0;
}

int WaveDevices::Prepare(WaveHeader& header) {
    if (header.data == nullptr || header.bufferLength == 0) return kWaveInvalidParam;
    header.flags.fetch_or(kWhdrPrepared, std::memory_order_acq_rel);
    return kWaveOk;
}

int WaveDevices::Unprepare(WaveHeader& header) {
    if (header.Queued()) return kWaveStillPlaying;
    header.flags.fetch_and(~kWhdrPrepared, std::memory_order_acq_rel);
    return kWaveOk;
}

int WaveDevices::MarkQueued(WaveHeader& header, bool input) {
    const uint32_t f = header.flags.load(std::memory_order_acquire);
    if ((f & kWhdrPrepared) == 0) return kWaveUnprepared;
    if ((f & kWhdrInQueue) != 0) return kWaveStillPlaying;
    if (input) header.bytesRecorded.store(0, std::memory_order_relaxed);
    header.flags.store((f & ~kWhdrDone) | kWhdrInQueue, std::memory_order_release);
    return kWaveOk;
}

void WaveDevices::MarkDone(WaveHeader& header) noexcept {
    // Release: the samples and byte count written by the device thread become visible to the UI
    // thread that sees kWhdrDone with acquire.
    uint32_t f = header.flags.load(std::memory_order_relaxed);
    while (!header.flags.compare_exchange_weak(
        f, (f & ~kWhdrInQueue) | kWhdrDone, std::memory_order_release, std::memory_order_relaxed)) {
    }
}

int FindInputDevice(const WaveDevices& devices, const std::string& name) {
    int found = -1;
    for (int i = 0; i < devices.InputCount(); ++i) {
        if (devices.InputName(i) == name) found = i;
    }
    return found;
}

int FindOutputDevice(const WaveDevices& devices, const std::string& name) {
    int found = -1;
    for (int i = 0; i < devices.OutputCount(); ++i) {
        if (devices.OutputName(i) == name) found = i;
    }
    return found;
}

}  // namespace fim
