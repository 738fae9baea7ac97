#pragma once
// Import of the microphone-calibration text files that come with measurement microphones: one
// point per line, "frequency dB [phase in degrees]", separated by blanks, tabs, commas or
// semicolons, in any order. Lines that do not start with a number (headers, "*" comments, blank
// lines, a UTF-8 byte-order mark) are skipped; CR LF and LF line ends are both read. A
// sensitivity line ("Sens Factor =-1.378dB", possibly quoted, or "*1000Hz <value>") is kept as
// the sensitivity. Numbers are read with "." as decimal separator whatever the locale.
//
// The points are turned into the 294 correction records of the SMOOTH records by linear
// interpolation over log frequency; below the first and above the last point the end values hold.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "spectrum/SpectrumFiles.h"

namespace fim {

struct MicCalPoint {
    double frequency = 0.0;  // Hz, > 0
    double db = 0.0;         // the microphone's deviation
    double phaseDeg = 0.0;
};

struct MicCalData {
    std::vector<MicCalPoint> points;  // ascending frequency, one point per frequency
    std::optional<double> sensitivity;
    bool hasPhase = false;
};

enum class MicCalStatus { Ok, CannotOpen, TooLarge, NoData };

constexpr std::size_t kMicCalTextMaxBytes = 4u << 20;

MicCalStatus ParseMicCalText(std::string_view text, MicCalData& out);
MicCalStatus ReadMicCalText(const std::string& path, MicCalData& out);

// Interpolated correction (dB, phase in degrees) at a frequency; the data must have points.
MicCalPoint InterpolateMicCal(const MicCalData& data, double frequency);

// The correction for SMOOTH records 0 … 293 (their frequencies taken from `smoothRecords`),
// made for `sampleRate`: correction record i + 1 holds {frequency, dB, phase in radians}.
MicCorrection BuildMicCorrection(const MicCalData& data, const SmoothRecord* smoothRecords,
                                 double sampleRate);

}  // namespace fim
