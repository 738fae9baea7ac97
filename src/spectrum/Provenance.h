#pragma once
// What produced an exported result: program, date, measurement set-up, analysis, and the
// calibration files with a short hash of their content, so a file found weeks later can be traced.
// Text exports carry it as comment lines, JSON as an object, images as text chunks.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fim {

struct Provenance {
    std::string program;  // name and version
    std::string date;     // ISO 8601, local time
    int sampleRate = 0;
    int mlsOrder = 0;
    bool runKnown = false;  // averages, ATC and pink describe the run (not known of a loaded file)
    int averages = 0;
    bool atc = false;
    bool pink = false;
    int windowSamples = 0;  // analysis window
    int fftSize = 0;
    std::string mode;       // "FFT" or "SMOOTH"
    std::string smoothing;  // e.g. "1/6 octave"; empty when none
    std::string calibrationFile;
    std::string calibrationHash;
    std::string micFile;
    std::string micHash;
    double soundSpeed = 0.0;  // m/s
    // The clock drift the measurement found (not known of a loaded file), and whether its
    // recordings were resampled for it.
    bool driftMeasured = false;
    double driftPpm = 0.0;
    bool driftCorrected = false;

    // The fields as (key, value) pairs in a fixed order; empty values are left out.
    std::vector<std::pair<std::string, std::string>> Fields() const;
};

// Eight hex digits of the FNV-1a hash of a file's content; "" when it cannot be read.
std::string FileHash(const std::string& path);
std::string BytesHash(const void* data, std::size_t size);
// The local time now as "YYYY-MM-DD hh:mm:ss".
std::string NowText();

// "* key: value" lines, each ending in CR LF (text exports whose readers skip "*" lines).
std::string ProvenanceComments(const Provenance& p);
// One line "key: value; key: value …" (printout footer).
std::string ProvenanceLine(const Provenance& p);

}  // namespace fim
