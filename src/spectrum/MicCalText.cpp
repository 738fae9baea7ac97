#include "spectrum/MicCalText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "base/ByteSource.h"

namespace fim {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '"'; }

// Reads numbers separated by separators from the start of `line`; stops at the first token that
// is not a number.
std::vector<double> Numbers(std::string_view line) {
    std::vector<double> values;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSeparator(line[i])) ++i;
        if (i >= line.size()) break;
        const char* first = line.data() + i;
        if (*first == '+') ++first;  // from_chars takes no plus sign
        double v = 0.0;
        const auto r = std::from_chars(first, line.data() + line.size(), v);
        if (r.ec != std::errc() || !std::isfinite(v)) break;
        const std::size_t end = static_cast<std::size_t>(r.ptr - line.data());
        if (end < line.size() && !IsSeparator(line[end])) break;  // "12abc" is no number
        values.push_back(v);
        i = end;
    }
    return values;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "Sens Factor =-1.378dB" anywhere in the line, or a "*1000Hz <value>" line.
std::optional<double> Sensitivity(std::string_view line) {
    const std::string lower = Lower(line);
    std::size_t at = lower.find("sens factor");
    if (at != std::string::npos) {
        at = lower.find('=', at);
        if (at == std::string::npos) return std::nullopt;
        std::string_view rest = line.substr(at + 1);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
            rest.remove_prefix(1);
        }
        const auto n = Numbers(rest.substr(0, rest.find_first_of("dD,;\"")));
        if (!n.empty()) return n.front();
        return std::nullopt;
    }
    if (lower.rfind("*1000hz", 0) == 0) {
        const auto n = Numbers(line.substr(7));
        if (!n.empty()) return n.front();
    }
    return std::nullopt;
}

}  // namespace

MicCalStatus ParseMicCalText(std::string_view text, MicCalData& out) {
    if (text.size() > kMicCalTextMaxBytes) return MicCalStatus::TooLarge;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    MicCalData data;
    while (!text.empty()) {
        const std::size_t nl = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        if (line.empty()) continue;
        const char c = line.front();
        const bool numeric = (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-';
        if (!numeric) {
            if (!data.sensitivity) data.sensitivity = Sensitivity(line);
            continue;
        }
        const auto n = Numbers(line);
        if (n.size() < 2 || !(n[0] > 0.0)) continue;
        MicCalPoint p{n[0], n[1], n.size() >= 3 ? n[2] : 0.0};
        if (n.size() >= 3) data.hasPhase = true;
        data.points.push_back(p);
    }
    if (data.points.empty()) return MicCalStatus::NoData;
    std::stable_sort(
        data.points.begin(), data.points.end(),
        [](const MicCalPoint& a, const MicCalPoint& b) { return a.frequency < b.frequency; });
    data.points.erase(std::unique(data.points.begin(), data.points.end(),
                                  [](const MicCalPoint& a, const MicCalPoint& b) {
                                      return a.frequency == b.frequency;
                                  }),
                      data.points.end());
    out = std::move(data);
    return MicCalStatus::Ok;
}

MicCalStatus ReadMicCalText(const std::string& path, MicCalData& out) {
    FileSource file;
    if (!file.Open(path)) return MicCalStatus::CannotOpen;
    if (file.Size() > kMicCalTextMaxBytes) return MicCalStatus::TooLarge;
    std::string text(static_cast<std::size_t>(file.Size()), '\0');
    if (file.ReadAt(0, text.data(), text.size()) != text.size()) return MicCalStatus::CannotOpen;
    return ParseMicCalText(text, out);
}

MicCalPoint InterpolateMicCal(const MicCalData& data, double frequency) {
    const auto& p = data.points;
    if (p.empty()) return {frequency, 0.0, 0.0};
    if (!(frequency > p.front().frequency)) return {frequency, p.front().db, p.front().phaseDeg};
    if (!(frequency < p.back().frequency)) return {frequency, p.back().db, p.back().phaseDeg};
    const auto hi =
        std::upper_bound(p.begin(), p.end(), frequency,
                         [](double f, const MicCalPoint& q) { return f < q.frequency; });
    const auto lo = hi - 1;
    const double t = std::log(frequency / lo->frequency) / std::log(hi->frequency / lo->frequency);
    return {frequency, lo->db + t * (hi->db - lo->db),
            lo->phaseDeg + t * (hi->phaseDeg - lo->phaseDeg)};
}

MicCorrection BuildMicCorrection(const MicCalData& data, const SmoothRecord* smoothRecords,
                                 double sampleRate) {
    MicCorrection mic;
    mic.sampleRate = sampleRate;
    for (std::size_t i = 0; i < mic.entries.size(); ++i) {
        const double f = smoothRecords[i].Frequency;
        const MicCalPoint c = InterpolateMicCal(data, f);
        mic.entries[i] = {f, c.db, c.phaseDeg * std::numbers::pi / 180.0};
    }
    return mic;
}

}  // namespace fim
