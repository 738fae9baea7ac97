#include "finder/BandTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace fim {

namespace {

constexpr int kLast = BandTable::kEntries - 1;

// Fixed point with `decimals` decimals, right-aligned in at least four characters, then `unit`.
std::string Number(long double value, int decimals, const char* unit) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%4.*Lf%s", decimals, value, unit);
    return buf;
}

// Round half to even, held inside the 32-bit range.
int32_t RoundDeviation(long double v) {
    if (std::isnan(v)) return 0;
    v = std::clamp(v, -2.0e9L, 2.0e9L);
    return static_cast<int32_t>(std::nearbyint(v));
}

}  // namespace

uint8_t DecadeCount(long double f) {
    uint8_t d = 0;
    // Bounded so that an infinite input cannot loop forever; such values read as "FEHLER".
    while (f > 100.0L && d < 255) {
        f = f / 10.0L;
        ++d;
    }
    return d;
}

BandTable::BandTable() { SetBandSeries(1); }

void BandTable::SetBandSeries(uint8_t series) {
    auto& e = entries_;
    switch (series) {
        case 1:
            e = {8.0L,  10.0L, 12.5L, 16.0L, 20.0L,  25.0L, 31.6L,
                 40.0L, 50.0L, 63.0L, 80.0L, 100.0L, 125.0L};
            break;
        case 2: {
            const long double v[] = {10.0L, 16.0L, 25.0L, 40.0L, 63.0L, 100.0L, 160.0L};
            std::copy(std::begin(v), std::end(v), e.begin() + 1);
            break;
        }
        case 3: {
            const long double v[] = {0.0L,    31.6L,   63.0L,   125.0L,  250.0L,   500.0L,
                                     1000.0L, 2000.0L, 4000.0L, 8000.0L, 16000.0L, 32000.0L};
            std::copy(std::begin(v), std::end(v), e.begin() + 1);
            break;
        }
        default:
            break;
    }
}

long double BandTable::NominalMantissa(uint8_t decades, double f) {
    const long double m = static_cast<long double>(f) / std::pow(10.0L, decades);
    int b = 1;
    while (b < kLast && entries_[b] < m) ++b;
    // The boundary between neighbours is their geometric mean; a value on it goes up.
    if (std::sqrt(entries_[b] * entries_[b - 1]) > m) --b;
    return entries_[b];
}

long double BandTable::NominalFrequency(uint8_t series, long double f) {
    SetBandSeries(series);
    const uint8_t d = DecadeCount(f);
    return std::pow(10.0L, d) * NominalMantissa(d, static_cast<double>(f));
}

int BandTable::OctaveIndex(long double f) const {
    int b = 0;
    while (b < kLast && entries_[b] < f) ++b;
    if (b > 0 && std::sqrt(entries_[b] * entries_[b - 1]) > f) --b;
    // Entry 0 is the third-octave guard value (8 Hz), not an octave band: a frequency at or
    // below it lies below the lowest octave band and reads as that band, like every frequency
    // under the 31.6/63 boundary.
    if (b < 2) b = 2;
    return b;
}

std::string BandTable::FrequencyLabel(uint8_t series, long double f) {
    if (series < 1 || series > 4) return "";
    if (!(f > 0.0L)) return "FEHLER";
    if (series == 1 || series == 2) {
        SetBandSeries(series);
        unsigned d = DecadeCount(f);
        long double y = NominalMantissa(static_cast<uint8_t>(d), static_cast<double>(f));
        if (y > 80.0L) {  // a mantissa rounded to 100 reads as 10 of the next decade
            ++d;
            y = 10.0L;
        }
        switch (d) {
            case 0:
                return Number(y, 1, " Hz");
            case 1:
                return Number(y * 10.0L, 1, " Hz");
            case 2:
                return Number(y / 10.0L, 2, " kHz");
            case 3:
                return Number(y, 1, " kHz");
            default:
                return "FEHLER";
        }
    }
    long double v = f;
    unsigned d = 0;
    if (series == 3) {
        SetBandSeries(3);
        const int b = OctaveIndex(f);
        v = entries_[b];
        d = DecadeCount(v) + (b == 7 ? 1u : 0u);  // 1000 Hz reads as 1.00 kHz
    } else {
        d = DecadeCount(f);
    }
    if (d < 2) return Number(v, 1, " Hz");
    if (d == 2) return Number(v / 1000.0L, 2, " kHz");
    if (d == 3) return Number(v / 1000.0L, 1, " kHz");
    return "FEHLER";
}

BandReadout BandTable::BandReading(uint8_t series, double f) {
    BandReadout r;
    long double x = f;
    // The finder can report bins below 8 Hz (long captures at low rates) and up to half the
    // sample rate; the band table has no neighbour beyond its ends, so such readings are taken
    // as the end value (8 Hz for the third-octave series, 32 kHz for octaves; below the lowest
    // octave band the 0 Hz floor is the neighbour).
    if (std::isfinite(f) && f > 0.0) {
        if (series == 1 || series == 2) x = std::max(x, 8.0L);
        if (series == 3) x = std::min(x, 32000.0L);
    }
    r.label = FrequencyLabel(series, x);
    if (series < 1 || series > 3 || !std::isfinite(f) || !(f > 0.0)) return r;

    long double c = 0.0L;
    long double e = 0.0L;
    int b = 0;
    int j = 0;
    if (series == 3) {
        b = OctaveIndex(x);
        c = entries_[b];
        j = x > c ? b + 1 : b - 1;
        e = std::sqrt(entries_[b] * entries_[j]);
    } else {
        const uint8_t d = DecadeCount(x);
        const long double y = NominalMantissa(d, static_cast<double>(x));
        b = 0;
        while (b < kLast && entries_[b] < y) ++b;
        c = NominalFrequency(series, x);
        j = x > c ? b + 1 : b - 1;
        // On the centre the side does not matter (the deviation is 0); keep inside the table.
        j = std::clamp(j, 0, kLast);
        e = std::sqrt(entries_[b] * entries_[j]) * std::exp(d * std::log(10.0L));
    }
    const long double half = std::fabs(c - e);
    r.deviation = half > 0.0L ? RoundDeviation(100.0L * (x - c) / half) : 0;
    return r;
}

}  // namespace fim
