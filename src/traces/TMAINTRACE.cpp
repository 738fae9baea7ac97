#include "traces/TMAINTRACE.h"

#include <algorithm>
#include <cmath>

#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "base/Prompter.h"
#include "base/SettingsTree.h"

namespace fim {

namespace {

constexpr double kAverageTop = 22000.0;     // additions and corrections stop above this
constexpr std::size_t kLastAveraged = 292;  // 0-based index of the last record ever averaged

}  // namespace

TMAINTRACE::TMAINTRACE(SettingsTree* settings, Prompter* prompter, uint32_t defaultColour)
    : Ttrace(settings, prompter, defaultColour) {
    if (settings_ != nullptr) {
        if (auto c = settings_->ReadInteger("MainTrace")) Colour = static_cast<uint32_t>(*c);
    }
}

TMAINTRACE::~TMAINTRACE() { TMAINTRACE::SaveSettings(); }

void TMAINTRACE::SaveSettings() {
    if (settings_ != nullptr) settings_->WriteInteger("MainTrace", static_cast<int32_t>(Colour));
}

bool TMAINTRACE::StartAverage(std::span<const SmoothRecord> S, double lowest) {
    SmoothRecord* m = Block();
    const std::size_t n = std::min<std::size_t>(S.size(), kSmoothRecords);
    std::size_t i = 0;
    while (i < n && S[i].Frequency < lowest) ++i;
    if (m == nullptr || i == n) {
        ClearAverage();
        return false;
    }
    AverageCount = 1;
    LowFrequencyLimit = MaxLowest = lowest;
    double sum = 0.0;
    int count = 0;
    // Record i of S lands in record i of the block; the record that reaches 23000 Hz is the
    // last one copied.
    for (; i < n; ++i) {
        m[i] = S[i];
        sum += S[i].Magnitude;
        ++count;
        if (S[i].Frequency >= kTraceReferenceTop) break;
    }
    OwnReference = sum / count;
    DisplayReference = OwnReference;
    showEnabled_ = true;
    return true;
}

void TMAINTRACE::AddToAverage(std::span<const SmoothRecord> S, double R, double lowest) {
    if (!(R > 0.0)) return;
    if (lowest > MaxLowest) MaxLowest = lowest;
    if (AverageCount == 0) {
        StartAverage(S, lowest);
        return;
    }
    SmoothRecord* m = Block();
    if (m == nullptr) return;
    const std::size_t n = std::min<std::size_t>(S.size(), kSmoothRecords);
    std::size_t i = 0;
    while (i < n && m[i].Frequency < MaxLowest) ++i;
    const double scale = OwnReference / R;
    for (; i < n; ++i) {
        m[i].Phase = (m[i].Phase + S[i].Phase) / 2.0;
        // √(main × S × OwnReference / R): the geometric mean of the main magnitude and S
        // rescaled to the main trace's level. Written this way it stays defined for a main
        // magnitude of 0.
        m[i].Magnitude = std::sqrt(m[i].Magnitude * S[i].Magnitude * scale);
        if (i >= kLastAveraged || i + 1 >= n) break;
        if (m[i + 1].Frequency > kAverageTop || S[i + 1].Frequency > kAverageTop) break;
    }
    ++AverageCount;
}

void TMAINTRACE::ClearAverage() {
    AverageCount = 0;
    showEnabled_ = false;
}

bool TMAINTRACE::ApplyCorrection(std::span<const SmoothRecord> C, double sampleRate) {
    SmoothRecord* m = Block();
    if (m == nullptr || C.size() < 2 || C[0].Frequency != sampleRate) return false;
    const double ln10 = std::log(10.0);
    for (std::size_t k = 0; k + 1 < C.size() && k < kSmoothRecords; ++k) {
        m[k].Magnitude *= std::exp(-C[k + 1].Magnitude * ln10 / 20.0);
        m[k].Phase -= C[k + 1].Phase;
        if (k + 1 >= kSmoothRecords || m[k + 1].Frequency > kAverageTop) break;
    }
    return true;
}

bool TMAINTRACE::SaveToFile(const std::string& path, double sampleRate) {
    auto records = GetRecords();
    SmoothSpectrum all{};
    std::copy(records.begin(), records.end(), all.begin());
    if (records.empty() || !WriteTraceFile(path, LowFrequencyLimit, sampleRate, all)) {
        if (prompter_ != nullptr) prompter_->Inform(Msg(kMsgFileSaveError), path, PromptIcon::Stop);
        return false;
    }
    return true;
}

void RebuildMainTrace(TMAINTRACE& main, std::span<Ttrace* const> traces, bool addCurrentGraph,
                      std::span<const SmoothRecord> live, double liveLowest,
                      std::span<const SmoothRecord> correction, double sampleRate) {
    if (addCurrentGraph) {
        if (main.StartAverage(live, liveLowest) && !correction.empty()) {
            main.ApplyCorrection(correction, sampleRate);
        }
    } else {
        main.ClearAverage();
    }
    for (Ttrace* t : traces) {
        if (t == nullptr) continue;
        main.AddToAverage(t->GetRecords(), t->GetAverageReference(), t->GetLowFrequencyLimit());
    }
}

}  // namespace fim
