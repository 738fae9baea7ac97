#include "spectrum/Provenance.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>

#include "core/ClockDrift.h"

namespace fim {

namespace {

std::string Number(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

// The base name of a path (either separator).
std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Named(const std::string& path, const std::string& hash) {
    if (path.empty()) return "none";
    return BaseName(path) + (hash.empty() ? " (unreadable)" : " #" + hash);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> Provenance::Fields() const {
    std::vector<std::pair<std::string, std::string>> f;
    auto add = [&](const char* key, std::string value) {
        if (!value.empty()) f.emplace_back(key, std::move(value));
    };
    add("Program", program);
    add("Date", date);
    add("Sample rate", std::to_string(sampleRate) + " Hz");
    add("MLS order", std::to_string(mlsOrder));
    if (runKnown) {
        add("Averages", std::to_string(averages));
        add("ATC", atc ? "on" : "off");
        add("Pink", pink ? "on" : "off");
    }
    if (sampleRate > 0) {
        add("Window", std::to_string(windowSamples) + " samples, " +
                          Number(windowSamples * 1000.0 / sampleRate, 1) + " ms");
    }
    add("FFT size", std::to_string(fftSize));
    add("Mode", mode);
    add("Smoothing", smoothing.empty() ? "none" : smoothing);
    add("Calibration", Named(calibrationFile, calibrationHash));
    add("Microphone", Named(micFile, micHash));
    add("Speed of sound", Number(soundSpeed, 1) + " m/s");
    if (driftMeasured) add("Clock drift", DriftStateText(driftPpm, driftCorrected));
    return f;
}

std::string BytesHash(const void* data, std::size_t size) {
    uint32_t h = 2166136261u;
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 16777619u;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(h));
    return text;
}

std::string FileHash(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return {};
    return BytesHash(bytes.data(), bytes.size());
}

std::string NowText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string ProvenanceComments(const Provenance& p) {
    std::string out;
    for (const auto& [key, value] : p.Fields()) {
        out.append("* ").append(key).append(": ").append(value).append("\r\n");
    }
    return out;
}

std::string ProvenanceLine(const Provenance& p) {
    std::string out;
    for (const auto& [key, value] : p.Fields()) {
        if (!out.empty()) out += "; ";
        out.append(key).append(": ").append(value);
    }
    return out;
}

}  // namespace fim
