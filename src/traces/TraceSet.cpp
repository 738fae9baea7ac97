// src/traces/: stored comparison traces of the frequency window: the trace records and files, the
// main trace and the set of six; the trace manager window is in ui/.

#include "traces/TraceSet.h"

#include <algorithm>
#include <cmath>

#include "base/Catalog.h"

namespace fim {

void AppendSmoothCurve(std::span<const SmoothRecord> records, double reference, double from,
                       double to, double gain, bool invert, std::vector<CurvePoint>& out) {
    if (!(reference > 0.0) || !std::isfinite(reference)) return;
    for (const SmoothRecord& r : records) {
        if (r.Frequency < from) continue;
        if (r.Frequency > to) break;  // records ascend; the end marker lies beyond every plot
        if (!(r.Magnitude > 0.0)) continue;
        const double db = 20.0 * std::log10(r.Magnitude / reference);
        out.push_back({r.Frequency, (invert ? -db : db) + gain});
    }
}

TraceSet::TraceSet(SettingsTree* settings, Prompter* prompter) {
    for (int i = 0; i < kNumberedTraces; ++i) {
        const auto k = static_cast<std::size_t>(i);
        traces_[k] = std::make_unique<Ttrace>(i + 1, settings, prompter, kTraceDefaultColours[k]);
        numbered_[k] = traces_[k].get();
    }
    main_ = std::make_unique<TMAINTRACE>(settings, prompter, kMainTraceDefaultColour);
    for (DrawableCurve& c : curves_) c.points.reserve(kSmoothRecords);
}

TraceSet::~TraceSet() = default;

Ttrace& TraceSet::Trace(int number) { return *traces_.at(static_cast<std::size_t>(number - 1)); }

const Ttrace& TraceSet::Trace(int number) const {
    return *traces_.at(static_cast<std::size_t>(number - 1));
}

void TraceSet::SaveSettings() {
    for (Ttrace* t : numbered_) t->SaveSettings();
    main_->SaveSettings();
}

std::vector<std::string> TraceSet::MainTraceMembers() const {
    std::vector<std::string> names;
    for (const Ttrace* t : numbered_) {
        if (t->AverageDown) names.push_back(t->GetName());
    }
    if (AddCurrentGraph) names.push_back(Msg(230));
    return names;
}

std::span<const DrawableCurve> TraceSet::Repaint(const LiveGraph& live,
                                                 const TracePlotRange& plot) {
    RebuildMainTrace(*main_, numbered_, AddCurrentGraph, live.Smooth, live.LowestValid,
                     live.Correction, live.SampleRate);

    std::size_t used = 0;
    auto next = [&](const Ttrace& t) -> DrawableCurve& {
        DrawableCurve& c = curves_[used++];
        c.colour = t.Colour;
        c.penWidth = plot.PenWidth;
        c.points.clear();
        return c;
    };
    for (Ttrace* t : numbered_) {
        if (!t->PrepareDraw(live.LevelReference)) continue;
        DrawableCurve& c = next(*t);
        AppendSmoothCurve(t->GetRecords(), t->DisplayReference,
                          std::max(plot.LowerLimit, t->GetLowFrequencyLimit()), plot.UpperLimit,
                          plot.GainOffset, false, c.points);
    }
    if (main_->PrepareDrawMain()) {
        DrawableCurve& c = next(*main_);
        AppendSmoothCurve(main_->GetRecords(), main_->DisplayReference,
                          std::max(plot.LowerLimit, main_->GetLowFrequencyLimit()), plot.UpperLimit,
                          plot.GainOffset, main_->Flipped(), c.points);
    }
    return {curves_.data(), used};
}

}  // namespace fim
