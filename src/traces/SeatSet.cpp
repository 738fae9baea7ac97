#include "traces/SeatSet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "base/AtomicFile.h"
#include "spectrum/SpectrumFiles.h"

namespace fim {

namespace {

double Db(double magnitude) { return 20.0 * std::log10(magnitude); }

std::string SeatFileName(const std::string& name, std::size_t seat) {
    const std::string number = std::to_string(seat + 1);
    return name + " seat " + (number.size() < 2 ? "0" : "") + number + ".SMR";
}

}  // namespace

bool SeatSet::Add(const SeatSpectrum& seat) {
    if (seats_.size() >= static_cast<std::size_t>(kMaxSeats)) return false;
    if (!seats_.empty()) {
        const auto& first = seats_.front().records;
        for (int i = 0; i < kSmoothRecords; ++i) {
            const double a = first[static_cast<std::size_t>(i)].Frequency;
            const double b = seat.records[static_cast<std::size_t>(i)].Frequency;
            if (std::fabs(a - b) > 1e-9 * std::max(1.0, std::fabs(a))) return false;
        }
    }
    seats_.push_back(seat);
    return true;
}

SeatStatistics SeatSet::Compute() const {
    SeatStatistics s;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    s.distanceDb.assign(seats_.size(), 0.0);
    std::vector<int> used(seats_.size(), 0);
    for (std::size_t i = 0; i < static_cast<std::size_t>(kSmoothRecords); ++i) {
        double sum = 0.0;
        int n = 0;
        for (const SeatSpectrum& seat : seats_) {
            const double m = seat.records[i].Magnitude;
            if (m > 0.0 && std::isfinite(m)) {
                sum += Db(m);
                ++n;
            }
        }
        s.mean[i].Frequency = seats_.empty() ? 0.0 : seats_.front().records[i].Frequency;
        if (n == 0) {
            s.meanDb[i] = s.spreadDb[i] = nan;
            continue;
        }
        const double mean = sum / n;
        double square = 0.0;
        for (std::size_t k = 0; k < seats_.size(); ++k) {
            const double m = seats_[k].records[i].Magnitude;
            if (!(m > 0.0 && std::isfinite(m))) continue;
            const double d = Db(m) - mean;
            square += d * d;
            s.distanceDb[k] += d * d;
            ++used[k];
        }
        s.meanDb[i] = mean;
        s.spreadDb[i] = std::sqrt(square / n);
        s.mean[i].Magnitude = std::pow(10.0, mean / 20.0);
    }
    double worst = -1.0;
    for (std::size_t k = 0; k < seats_.size(); ++k) {
        s.distanceDb[k] = used[k] > 0 ? std::sqrt(s.distanceDb[k] / used[k]) : 0.0;
        if (seats_.size() >= 2 && s.distanceDb[k] > worst) {
            worst = s.distanceDb[k];
            s.farthest = static_cast<int>(k);
        }
    }
    return s;
}

std::string SeatSet::Summary(const std::string& name) const {
    const SeatStatistics s = Compute();
    std::string out = "Seat set: " + name + "\r\n";
    char buf[160];
    std::snprintf(buf, sizeof buf, "Seats: %zu\r\n", seats_.size());
    out += buf;
    for (std::size_t k = 0; k < seats_.size(); ++k) {
        std::snprintf(buf, sizeof buf, "%s  %.2f dB RMS from the mean%s\r\n",
                      SeatFileName(name, k).c_str(), s.distanceDb[k],
                      static_cast<int>(k) == s.farthest ? "  (farthest)" : "");
        out += buf;
    }
    out += "Frequency (Hz)  Mean (dB)  Spread (dB)\r\n";
    for (const double centre :
         {63.0, 125.0, 250.0, 500.0, 1000.0, 2000.0, 4000.0, 8000.0, 16000.0}) {
        // The record nearest to the octave centre, on a logarithmic scale.
        int best = -1;
        double bestDistance = 0.0;
        for (int i = 0; i < kSmoothRecords; ++i) {
            const double f = s.mean[static_cast<std::size_t>(i)].Frequency;
            if (!(f > 0.0) || std::isnan(s.meanDb[static_cast<std::size_t>(i)])) continue;
            const double d = std::fabs(std::log(f / centre));
            if (best < 0 || d < bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        if (best < 0 || bestDistance > std::log(1.2)) continue;
        const auto b = static_cast<std::size_t>(best);
        std::snprintf(buf, sizeof buf, "%14.1f  %9.2f  %11.2f\r\n", s.mean[b].Frequency,
                      s.meanDb[b], s.spreadDb[b]);
        out += buf;
    }
    return out;
}

std::string SeatSet::Save(const std::string& folder, const std::string& name) const {
    if (seats_.empty()) return "The seat set is empty.";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return folder + ": " + ec.message();
    const std::filesystem::path dir(folder);
    std::string error;
    for (std::size_t k = 0; k < seats_.size(); ++k) {
        const SeatSpectrum& seat = seats_[k];
        const std::string path = (dir / SeatFileName(name, k)).string();
        if (!WriteSmoothSpectrumFile(path, seat.lowestFrequency, seat.sampleRate,
                                     seat.records.data(), nullptr, &error)) {
            return std::string(path).append(": ").append(error);
        }
    }
    const SeatStatistics s = Compute();
    const std::string mean = (dir / (name + " mean.SMR")).string();
    if (!WriteSmoothSpectrumFile(mean, seats_.front().lowestFrequency, seats_.front().sampleRate,
                                 s.mean.data(), nullptr, &error)) {
        return mean + ": " + error;
    }
    const std::string text = (dir / (name + ".txt")).string();
    if (!WriteFileAtomically(text, Summary(name), &error)) return text + ": " + error;
    return {};
}

BandCurve SeatSetCurve(const SeatSet& set, const SeatStatistics& stats, const std::string& name,
                       double reference, double lower, double upper, double gain, uint32_t colour,
                       uint32_t flaggedColour, int penWidth) {
    BandCurve band;
    band.colour = colour;
    band.penWidth = penWidth;
    if (set.size() == 0 || !(reference > 0.0) || !std::isfinite(reference)) return band;
    const double from = std::max(lower, set.seats().front().lowestFrequency);
    const double offset = gain - Db(reference);
    const SeatSpectrum* flagged =
        stats.farthest >= 0 ? &set.seats()[static_cast<std::size_t>(stats.farthest)] : nullptr;
    band.flagged.colour = flaggedColour;
    band.flagged.penWidth = 1;
    for (std::size_t i = 0; i < static_cast<std::size_t>(kSmoothRecords); ++i) {
        const double f = stats.mean[i].Frequency;
        if (f < from || f > upper || std::isnan(stats.meanDb[i])) continue;
        const double mean = stats.meanDb[i] + offset;
        band.mean.push_back({f, mean});
        band.lower.push_back({f, mean - stats.spreadDb[i]});
        band.upper.push_back({f, mean + stats.spreadDb[i]});
        if (flagged != nullptr) {
            const double m = flagged->records[i].Magnitude;
            if (m > 0.0 && std::isfinite(m)) band.flagged.points.push_back({f, Db(m) + offset});
        }
    }
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s: mean \u00b1 spread of %zu seat%s", name.c_str(), set.size(),
                  set.size() == 1 ? "" : "s");
    band.legend.emplace_back(buf);
    if (stats.farthest >= 0) {
        std::snprintf(buf, sizeof buf, "farthest: seat %d, %.2f dB", stats.farthest + 1,
                      stats.distanceDb[static_cast<std::size_t>(stats.farthest)]);
        band.legend.emplace_back(buf);
    }
    return band;
}

}  // namespace fim
