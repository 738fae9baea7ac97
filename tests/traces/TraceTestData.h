#pragma once
// Spectra and files for the trace tests.

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "traces/TraceFile.h"

namespace fim::testing {

// A SMOOTH-like spectrum: 294 log-spaced records from 20 Hz (above 22 kHz from index 283,
// above 23 kHz from index 285) and the end marker at 50000 Hz.
inline SmoothSpectrum MakeSpectrum(double (*magnitude)(int), double (*phase)(int)) {
    SmoothSpectrum s{};
    for (int i = 0; i < kSmoothRecords - 1; ++i) {
        s[static_cast<std::size_t>(i)] = {20.0 * std::pow(2.0, i / 28.0), magnitude(i), phase(i)};
    }
    s[kSmoothRecords - 1] = {50000.0, 0.0, 0.0};
    return s;
}

// A fresh folder below the system's temporary folder, removed with the object.
class TempDir {
  public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("fim_traces_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

}  // namespace fim::testing
