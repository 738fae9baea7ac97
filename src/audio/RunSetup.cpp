// The run controller's device and signal set-up for each sound mode: the devices looked up by
// name, opened and closed, and the headers and output signal of the MLS run, the level setup and
// the feedback finder.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "audio/RunController.h"
#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "base/Prompter.h"
#include "base/SettingsTree.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"

namespace fim {

// ---------------------------------------------------------------------------------------------
// Device setup

bool RunController::LookUpDevices() {
    auto storedName = [&](const char* value, bool input) {
        std::string name = settings_.ReadString(value).value_or("");
        if (name.empty()) {
            // Nothing chosen yet: the system's default device, else the Virtual Room.
            const int d = input ? devices_.DefaultInput() : devices_.DefaultOutput();
            if (d >= 0) name = input ? devices_.InputName(d) : devices_.OutputName(d);
        }
        return name;
    };
    const int in = FindInputDevice(devices_, storedName("INCARD", true));
    const int out = FindOutputDevice(devices_, storedName("OUTCARD", false));
    // A device list that changed under open devices would leave the handles on other devices.
    const bool open = devices_.InputOpen() || devices_.OutputOpen();
    if (in < 0 || out < 0 || (open && (in != InDeviceId || out != OutDeviceId))) {
        host_.OpenSoundSettings();
        return false;
    }
    InDeviceId = in;
    OutDeviceId = out;
    return true;
}

void RunController::Teardown() {
    if (DevicesOpen) {
        devices_.StopInput();
        devices_.PauseOutput();
        devices_.ResetOutput();
        devices_.ResetInput();
        for (int i = 0; i < 4; ++i) devices_.UnprepareInput(headers_[InA1 + i]);
        for (int i = 0; i < 4; ++i) devices_.UnprepareOutput(headers_[OutA1 + i]);
        DevicesOpen = false;
    }
    if (state_.DevicesClosed) {
        if (devices_.InputOpen()) {
            devices_.ResetInput();
            devices_.CloseInput();
        }
        if (devices_.OutputOpen()) {
            devices_.ResetOutput();
            devices_.CloseOutput();
        }
    }
    outputDone_.Discard();
    inputDone_.Discard();
    periodPending_ = false;
}

bool RunController::SetupSound() {
    pinkRestored_ = false;  // the signal is built anew from PinkMls
    view_.SetBusy(true);
    view_.ShowPleaseWait(true);
    // MlsSize is also the length of the response in RLP (a loaded file's): a set-up that fails
    // leaves it to that response.
    const int32_t responseSize = state_.MlsSize;
    state_.RecomputeDerived();
    if (impulseStale_) {
        impulseStale_ = false;
        state_.ImpulseValid = false;
        view_.SetControlEnabled(RunControl::ImpulseButtons, false);
        view_.SetControlEnabled(RunControl::FFT1, false);
        view_.SetControlEnabled(RunControl::DEFAULT1, false);
        view_.RepaintImpulse();
    }
    // Level setup and the finder open the devices with their own notifications every time, so
    // whatever is open now is closed first, and they leave the devices to be closed again.
    if (SoundMode == kModeLevelSetup || SoundMode == kModeFinder) state_.DevicesClosed = true;
    Teardown();
    bool ok = true;
    if (SoundMode != kModeIdle) {
        ok = LookUpDevices();
        if (ok) {
            switch (SoundMode) {
                case kModeMls:
                    SetupMls();
                    break;
                case kModeLevelSetup:
                    SetupLevelSetup();
                    break;
                case kModeFinder:
                    SetupFinder();
                    break;
                default:
                    break;
            }
            ok = DevicesOpen;
        }
    }
    // Releasing the devices sets nothing up: the response keeps its length too.
    if ((!ok && SoundMode == kModeMls) || SoundMode == kModeIdle) state_.MlsSize = responseSize;
    view_.ShowPleaseWait(false);
    view_.SetBusy(false);
    return ok;
}

void RunController::SetupMls() {
    MeasurementState& s = state_;
    const int bytes = BytesPerSample(s.SampleBits);
    const std::size_t n = static_cast<std::size_t>(s.MlsSize);
    const std::size_t half = 2 * static_cast<std::size_t>(bytes) * n;       // one header: N frames
    if (bytes == 0 || 2 * half > SharedBuffers::kFrameBufferBytes) return;  // cannot be held
    s.FirstSamplePending = true;
    std::byte* ilp1 = s.buffers.ILP1b();
    std::byte* ilp2 = s.buffers.ILP2b();
    const uint32_t len = static_cast<uint32_t>(half);
    headers_[InA1].Setup(ilp1, len, 1);
    headers_[InA2].Setup(ilp1 + half, len, 2);
    headers_[InB1].Setup(ilp2, len, 1);
    headers_[InB2].Setup(ilp2 + half, len, 2);
    std::memset(ilp1, 0, 2 * half);
    std::memset(ilp2, 0, 2 * half);
    InFormat = MakePcmFormat(2, s.SampleRate, s.SampleBits);
    OutFormat = InFormat;
    if (s.DevicesClosed) {
        const bool in =
            Report(devices_.OpenInput(InDeviceId, InFormat, &inputDone_), "Start Wavein open");
        const bool out =
            Report(devices_.OpenOutput(OutDeviceId, OutFormat, &outputDone_), "Start Waveout open");
        if (!in || !out) {
            // Nothing can be measured on half a device pair: leave both closed so the next setup
            // tries again, and refuse runs until then.
            if (in) devices_.CloseInput();
            if (out) devices_.CloseOutput();
            return;
        }
        s.DevicesClosed = false;
    }
    outputDone_.ResetCount();
    std::byte* olp = s.buffers.OLPb();
    headers_[OutA1].Setup(olp, len, 1);
    headers_[OutA2].Setup(olp + half, len, 2);
    headers_[OutB1].Setup(olp, len, 4);
    headers_[OutB2].Setup(olp + half, len, 5);
    if (!BuildOutputSignal(s, [this](bool preparing) { view_.SetPinkIndicator(preparing); })) {
        return;
    }
    host_.ClampWindow(s.FftSize, s.MlsPeriod());
    s.BufferSetToggle = true;
    DevicesOpen = true;
    std::memset(ilp1, 0, 2 * half);
    std::memset(ilp2, 0, 2 * half);
}

void RunController::SetupLevelSetup() {
    MeasurementState& s = state_;
    const int bytes = BytesPerSample(s.SampleBits);
    if (bytes == 0) return;
    const uint32_t inLen = static_cast<uint32_t>(4096 * bytes);
    headers_[InA1].Setup(s.buffers.ILP1b(), inLen, 1);
    headers_[InA2].Setup(s.buffers.ILP2b(), inLen, 1);
    InFormat = MakePcmFormat(2, s.SampleRate, s.SampleBits);
    OutFormat = InFormat;
    const bool in =
        Report(devices_.OpenInput(InDeviceId, InFormat, modeInput_), "Levelsetup open in");
    const bool out =
        Report(devices_.OpenOutput(OutDeviceId, OutFormat, modeOutput_), "levelsetup Open out");
    if (!in || !out) {
        if (in) devices_.CloseInput();
        if (out) devices_.CloseOutput();
        return;
    }
    // Noise of full output amplitude on both channels: each frame ±OutputAmplitude at random.
    std::mt19937 random(
        static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::byte* olp = s.buffers.OLPb();
    for (int f = 0; f < 40000; ++f) {
        const int32_t v = uniform(random) <= 0.5 ? -s.OutputAmplitude : s.OutputAmplitude;
        for (int ch = 0; ch < 2; ++ch) {
            std::byte* p = olp + (2 * f + ch) * bytes;
            if (bytes == 2) {
                const auto w = static_cast<uint16_t>(static_cast<int16_t>(v));
                p[0] = std::byte(w & 0xFF);
                p[1] = std::byte(w >> 8);
            } else if (bytes == 4) {
                const auto w = static_cast<uint32_t>(v);
                for (int b = 0; b < 4; ++b) p[b] = std::byte((w >> (8 * b)) & 0xFF);
            } else {
                p[0] = std::byte(static_cast<uint8_t>(v > 0 ? 255 : 0));
            }
        }
    }
    const uint32_t outLen = static_cast<uint32_t>(74000 * bytes);
    headers_[OutA1].Setup(olp, outLen, 1);
    headers_[OutA2].Setup(olp, outLen, 1);
    Report(devices_.PrepareOutput(headers_[OutA1]), "LC Prepeare Out 1");
    Report(devices_.PrepareOutput(headers_[OutA2]), "LC Prepeare Out 2");
    Report(devices_.PrepareInput(headers_[InA1]), "LC Prepeare IN 1");
    Report(devices_.PrepareInput(headers_[InA2]), "LC Prepeare IN 2");
    Report(devices_.AddInputBuffer(headers_[InA1]), "LC Add in buffer 1");
    Report(devices_.AddInputBuffer(headers_[InA2]), "LC Add in buffer 2");
    Report(devices_.WriteOutput(headers_[OutA1]), "LC WO1 Write");
    Report(devices_.WriteOutput(headers_[OutA2]), "LC WO2 Write");
    Report(devices_.StartInput(), "Start LC In");
    DevicesOpen = true;
}

void RunController::SetupFinder() {
    MeasurementState& s = state_;
    const int bytes = BytesPerSample(s.SampleBits);
    if (bytes == 0) return;
    static constexpr int kSizes[] = {8192, 4096, 2048};
    s.FftSize = kSizes[std::clamp(FinderSize, 0, 2)];
    InFormat = MakePcmFormat(1, s.SampleRate, s.SampleBits);
    const uint32_t len = static_cast<uint32_t>(2048 * bytes);
    headers_[InA1].Setup(s.buffers.ILP1b(), len, 4);
    headers_[InA2].Setup(s.buffers.ILP2b(), len, 4);
    if (!Report(devices_.OpenInput(InDeviceId, InFormat, modeInput_), "FBF open in")) return;
    Report(devices_.PrepareInput(headers_[InA1]), "FBF Prepeare IN 1");
    Report(devices_.AddInputBuffer(headers_[InA1]), "FBF Add in buffer");
    Report(devices_.PrepareInput(headers_[InA2]), "FBF Prepeare IN 2");
    Report(devices_.AddInputBuffer(headers_[InA2]), "FBF Add in buffer 2");
    Report(devices_.StartInput(), "FBF Start In");
    DevicesOpen = true;
}

}  // namespace fim
