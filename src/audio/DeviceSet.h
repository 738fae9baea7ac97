#pragma once
// Several device back ends shown as one list: the real sound cards first, then the Virtual Room.
// Input and output may come from different back ends; each call goes to the back end that owns
// the device in use.

#include <vector>

#include "audio/WaveDevices.h"

namespace fim {

class DeviceSet : public WaveDevices {
  public:
    // The back ends in list order; they must outlive the set.
    explicit DeviceSet(std::vector<WaveDevices*> backEnds) : backEnds_(std::move(backEnds)) {}

    int InputCount() const override;
    std::string InputName(int index) const override;
    int OutputCount() const override;
    std::string OutputName(int index) const override;
    // The first back end's default that exists (a real card before the Virtual Room).
    int DefaultInput() const override;
    int DefaultOutput() const override;
    bool InputSupports(int index, const DeviceFormat& format) const override;
    bool OutputSupports(int index, const DeviceFormat& format) const override;

    int OpenInput(int index, const DeviceFormat& format, WaveCallback* callback) override;
    int AddInputBuffer(WaveHeader& header) override {
        return In() ? In()->AddInputBuffer(header) : kWaveInvalidHandle;
    }
    int StartInput() override { return In() ? In()->StartInput() : kWaveInvalidHandle; }
    int StopInput() override { return In() ? In()->StopInput() : kWaveInvalidHandle; }
    int ResetInput() override { return In() ? In()->ResetInput() : kWaveInvalidHandle; }
    int CloseInput() override;

    int OpenOutput(int index, const DeviceFormat& format, WaveCallback* callback) override;
    int WriteOutput(WaveHeader& header) override {
        return Out() ? Out()->WriteOutput(header) : kWaveInvalidHandle;
    }
    int PauseOutput() override { return Out() ? Out()->PauseOutput() : kWaveInvalidHandle; }
    int RestartOutput() override { return Out() ? Out()->RestartOutput() : kWaveInvalidHandle; }
    int ResetOutput() override { return Out() ? Out()->ResetOutput() : kWaveInvalidHandle; }
    int CloseOutput() override;

    bool InputOpen() const override { return In() != nullptr && In()->InputOpen(); }
    bool OutputOpen() const override { return Out() != nullptr && Out()->OutputOpen(); }
    uint64_t InputFramesDropped() const override { return In() ? In()->InputFramesDropped() : 0; }
    uint64_t OutputFramesStarved() const override {
        return Out() ? Out()->OutputFramesStarved() : 0;
    }
    std::string ErrorText(int result) const override;

  private:
    // Back end and local index of a list index; null when out of range.
    WaveDevices* Locate(int index, bool input, int& local) const;
    WaveDevices* In() const { return inOwner_; }
    WaveDevices* Out() const { return outOwner_; }

    std::vector<WaveDevices*> backEnds_;
    WaveDevices* inOwner_ = nullptr;
    WaveDevices* outOwner_ = nullptr;
    WaveDevices* lastFailed_ = nullptr;
};

}  // namespace fim
