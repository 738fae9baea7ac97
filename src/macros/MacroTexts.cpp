#include "macros/MacroTexts.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/Catalog.h"
#include "base/MessageIds.h"

namespace fim {

namespace {

const std::string& OnOff(bool on) { return Msg(on ? 134 : 135); }

}  // namespace

std::string MacroMenuCaption(const UserMacro& macro) { return Msg(kMsgMacro) + macro.name; }

std::string MacroButtonHint(const UserMacro& macro) { return Msg(kMsgUseMacro) + macro.name; }

std::string MacroMillisecondsText(int32_t microseconds) {
    const auto tenths =
        static_cast<int64_t>(std::nearbyint(static_cast<double>(microseconds) / 100.0));
    const int64_t whole = std::llabs(tenths) / 10;
    const int64_t tenth = std::llabs(tenths) % 10;
    std::string text = tenths < 0 ? "-" : "";
    text += std::to_string(whole);
    if (tenth != 0) text += "." + std::to_string(tenth);
    return text;
}

std::string MacroSummaryText(const UserMacro& m) {
    // A damaged record may hold any order; no shift past the integer's width.
    const std::string size = m.mlsOrder < 63 ? std::to_string(uint64_t{1} << m.mlsOrder)
                                             : "2^" + std::to_string(m.mlsOrder);
    std::vector<std::string> lines = {
        Msg(106) + ": " + size,
        m.fftCode < 5 ? Msg(107) + ": " + std::to_string(2048 << m.fftCode) : Msg(59),
        Msg(kMsgAveraging) + ": " + std::to_string(m.averaging),
        Msg(160) + ": " + std::to_string(m.smoothing),
        "",
        "Pre: " + MacroMillisecondsText(m.window.timeBefore) + " msec",
        "Post: " + MacroMillisecondsText(m.window.timeAfter) + " msec",
        "",
        "ATC: " + OnOff(m.atc),
        Msg(70) + ": " + OnOff(m.repeat),
        "Pink: " + OnOff(m.pinkMls),
        "",
    };
    if (m.useCal) lines.push_back("Cal: " + m.calFile);
    if (m.useMic) lines.push_back("Mic: " + m.micFile);
    if (m.useOverlay) lines.push_back("Over: " + m.overlayFile);
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\r';
        text += lines[i];
    }
    return text;
}

}  // namespace fim
