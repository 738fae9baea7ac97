#include "finder/RingOutLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <utility>

#include "base/SettingsTree.h"
#include "finder/BandTable.h"
#include "finder/FinderAnalysis.h"
#include "finder/FinderModel.h"

namespace fim {

namespace {

constexpr uint32_t kVersion = 1;
constexpr std::size_t kHeader = 12;  // "RING", version, count
constexpr std::size_t kEntryBytes = 36;

std::string Trim(const std::string& s) {
    const auto a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

}  // namespace

std::string CsvQuote(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (const char c : s) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + '"';
}

namespace {

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutU64(std::vector<uint8_t>& b, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutF64(std::vector<uint8_t>& b, double d) {
    uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    PutU64(b, v);
}
uint64_t GetU(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t{p[i]} << (8 * i);
    return v;
}
double GetF64(const uint8_t* p) {
    const uint64_t v = GetU(p, 8);
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

}  // namespace

double SuggestedCut(int count, double maxOver) {
    if (count <= 0) return 0.0;
    if (!std::isfinite(maxOver)) maxOver = 0.0;
    const double raw = 3.0 + RingOutLog::kStep * (count - 1) + 0.5 * std::max(0.0, maxOver);
    return std::clamp(std::nearbyint(raw / RingOutLog::kStep) * RingOutLog::kStep,
                      RingOutLog::kStep, RingOutLog::kMaxCut);
}

double SuggestedQ(double frequency, double lowest, double highest, double binWidth) {
    const double width = std::max(0.0, highest - lowest) + 2.0 * std::max(0.0, binWidth);
    if (!(width > 0.0) || !(frequency > 0.0)) return 1.0;
    return std::clamp(frequency / width, 1.0, 60.0);
}

std::string FormatLocalTime(int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return {};
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

void RingOutLog::Add(const FinderCapture& c, int64_t time) {
    RingOutEntry e;
    e.time = time;
    e.frequency = c.reading.frequency;
    // FREQUENCY mode has no band of its own: such captures are logged as third-octave bands.
    e.series = c.displayMode >= kEq31Band && c.displayMode <= kEq10Band ? c.displayMode + 1 : 1;
    e.overThreshold = c.peakDb - c.thresholdDb;
    e.captureLength = c.captureLength;
    e.sampleRate = c.sampleRate;
    entries_.push_back(e);
}

bool RingOutLog::Delete(std::size_t index) {
    if (index >= entries_.size()) return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

std::vector<RingOutRow> RingOutLog::Rows(RingOutOrder order) const {
    BandTable table;
    std::vector<RingOutRow> rows;
    rows.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        RingOutRow r;
        r.entry = entries_[i];
        r.index = i;
        const auto series = static_cast<uint8_t>(std::clamp(r.entry.series, 1, 3));
        const BandReadout b = table.BandReading(series, r.entry.frequency);
        r.band = Trim(b.label);
        r.deviation = b.deviation;
        rows.push_back(std::move(r));
    }
    // Per band (series and label): count, loudest ring, frequency spread and finest resolution.
    struct Band {
        int count = 0;
        double maxOver = -1e300, sum = 0, lo = 1e300, hi = -1e300, bin = 1e300;
    };
    std::map<std::pair<int32_t, std::string>, Band> bands;
    for (const RingOutRow& r : rows) {
        Band& b = bands[{r.entry.series, r.band}];
        ++b.count;
        b.maxOver = std::max(b.maxOver, r.entry.overThreshold);
        b.sum += r.entry.frequency;
        b.lo = std::min(b.lo, r.entry.frequency);
        b.hi = std::max(b.hi, r.entry.frequency);
        if (r.entry.captureLength > 0) {
            b.bin = std::min(b.bin, double(r.entry.sampleRate) / r.entry.captureLength);
        }
    }
    for (RingOutRow& r : rows) {
        const Band& b = bands[{r.entry.series, r.band}];
        r.count = b.count;
        r.eqCut = SuggestedCut(b.count, b.maxOver);
        r.notchFrequency = b.sum / b.count;
        r.notchQ = SuggestedQ(r.notchFrequency, b.lo, b.hi, b.bin < 1e300 ? b.bin : 0.0);
        r.notchDepth = r.eqCut;
    }
    if (order == RingOutOrder::Band) {
        std::stable_sort(rows.begin(), rows.end(), [](const RingOutRow& a, const RingOutRow& b) {
            if (a.entry.series != b.entry.series) return a.entry.series < b.entry.series;
            if (a.band != b.band) return a.notchFrequency < b.notchFrequency;
            return a.entry.time < b.entry.time;
        });
    } else {
        std::stable_sort(rows.begin(), rows.end(), [](const RingOutRow& a, const RingOutRow& b) {
            return a.entry.time < b.entry.time;
        });
    }
    return rows;
}

std::vector<std::vector<std::string>> RingOutLog::Cells(RingOutOrder order) const {
    std::vector<std::vector<std::string>> cells = {
        {"Time", "Frequency (Hz)", "EQ", "Band", "Deviation (%)", "Over threshold (dB)", "Count",
         "EQ cut (dB)", "Notch frequency (Hz)", "Notch Q", "Notch depth (dB)"}};
    static const char* const kEq[] = {"31 band", "15 band", "10 band"};
    for (const RingOutRow& r : Rows(order)) {
        cells.push_back({FormatLocalTime(r.entry.time), Fixed(r.entry.frequency, 1),
                         kEq[std::clamp(r.entry.series, 1, 3) - 1], r.band,
                         std::to_string(r.deviation), Fixed(r.entry.overThreshold, 1),
                         std::to_string(r.count), Fixed(-r.eqCut, 1), Fixed(r.notchFrequency, 1),
                         Fixed(r.notchQ, 1), Fixed(-r.notchDepth, 1)});
    }
    return cells;
}

std::string RingOutLog::Csv(RingOutOrder order) const {
    std::string out;
    for (const auto& record : Cells(order)) {
        for (std::size_t i = 0; i < record.size(); ++i) {
            if (i > 0) out += ',';
            out += CsvQuote(record[i]);
        }
        out += "\r\n";
    }
    return out;
}

std::vector<uint8_t> RingOutLog::Encode() const {
    std::vector<uint8_t> b = {'R', 'I', 'N', 'G'};
    PutU32(b, kVersion);
    PutU32(b, static_cast<uint32_t>(entries_.size()));
    for (const RingOutEntry& e : entries_) {
        PutU64(b, static_cast<uint64_t>(e.time));
        PutF64(b, e.frequency);
        PutU32(b, static_cast<uint32_t>(e.series));
        PutF64(b, e.overThreshold);
        PutU32(b, static_cast<uint32_t>(e.captureLength));
        PutU32(b, e.sampleRate);
    }
    return b;
}

std::optional<RingOutLog> RingOutLog::Decode(const std::vector<uint8_t>& block) {
    if (block.size() < kHeader || std::memcmp(block.data(), "RING", 4) != 0) return std::nullopt;
    if (GetU(block.data() + 4, 4) != kVersion) return std::nullopt;
    const uint64_t count = GetU(block.data() + 8, 4);
    if ((block.size() - kHeader) % kEntryBytes != 0 ||
        (block.size() - kHeader) / kEntryBytes != count) {
        return std::nullopt;
    }
    RingOutLog log;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* p = block.data() + kHeader + i * kEntryBytes;
        RingOutEntry e;
        e.time = static_cast<int64_t>(GetU(p, 8));
        e.frequency = GetF64(p + 8);
        e.series = static_cast<int32_t>(GetU(p + 16, 4));
        e.overThreshold = GetF64(p + 20);
        e.captureLength = static_cast<int32_t>(GetU(p + 28, 4));
        e.sampleRate = static_cast<uint32_t>(GetU(p + 32, 4));
        // A damaged entry would give a meaningless band: the whole block is refused.
        if (!std::isfinite(e.frequency) || e.frequency <= 0 || e.series < 1 || e.series > 3 ||
            !std::isfinite(e.overThreshold) || e.captureLength < 0) {
            return std::nullopt;
        }
        log.entries_.push_back(e);
    }
    return log;
}

void RingOutLog::Load(const SettingsTree& tree) {
    entries_.clear();
    if (const auto block = tree.ReadBinary(kSettingsName)) {
        if (auto log = Decode(*block)) *this = std::move(*log);
    }
}

void RingOutLog::Store(SettingsTree& tree) const {
    if (entries_.empty()) {
        tree.DeleteValue(kSettingsName);
    } else {
        tree.WriteBinary(kSettingsName, Encode());
    }
    tree.Flush();
}

}  // namespace fim
