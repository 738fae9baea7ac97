#pragma once
// Helpers for file tests: a private temporary folder and raw byte builders that do not use the
// writers under test.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace fim::test {

class TempDir {
  public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("fimtest_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_),
                                                      std::filesystem::directory_iterator()));
    }

  private:
    std::filesystem::path path_;
};

using Bytes = std::vector<unsigned char>;

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutId(Bytes& b, const char* id) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(id[i]));
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}
inline Bytes ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A "fmt " chunk with the given fields (16 bytes of data).
inline Bytes FmtChunk(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes b;
    PutId(b, "fmt ");
    Put32(b, 16);
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    const uint32_t align = channels * bits / 8;
    Put32(b, rate * align);
    Put16(b, align);
    Put16(b, bits);
    return b;
}
inline Bytes DataChunk(const std::vector<int16_t>& samples, uint32_t declared = UINT32_MAX) {
    Bytes b;
    PutId(b, "data");
    Put32(b, declared == UINT32_MAX ? static_cast<uint32_t>(2 * samples.size()) : declared);
    for (int16_t s : samples) Put16(b, static_cast<uint16_t>(s));
    return b;
}
// "RIFF" size "WAVE" followed by the chunks; the size is the true one unless given.
inline Bytes RiffWave(const std::vector<Bytes>& chunks, uint32_t declared = UINT32_MAX) {
    Bytes body;
    for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b;
    PutId(b, "RIFF");
    Put32(b, declared == UINT32_MAX ? static_cast<uint32_t>(body.size() + 4) : declared);
    PutId(b, "WAVE");
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

}  // namespace fim::test
