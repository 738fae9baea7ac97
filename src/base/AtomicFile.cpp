#include "base/AtomicFile.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fim {

namespace {

std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return ".tmp" + std::to_string(static_cast<unsigned long long>(now) % 1000000007ULL) + "_" +
           std::to_string(counter.fetch_add(1));
}

}  // namespace

double LoadF64(const unsigned char* p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
    return std::bit_cast<double>(bits);
}

void StoreF64(unsigned char* p, double v) {
    uint64_t bits = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<unsigned char>(bits & 0xFF);
        bits >>= 8;
    }
}

AtomicFile::~AtomicFile() { Abandon(); }

bool AtomicFile::Open(const std::string& path) {
    Abandon();
    error_.clear();
    failed_ = false;
    target_ = path;
    // "x" refuses to reuse an existing name, so a stray file with the same name is never
    // overwritten; a few attempts cover the unlikely collision.
    for (int attempt = 0; attempt < 8 && !file_; ++attempt) {
        temp_ = path + UniqueSuffix();
        file_ = std::fopen(temp_.c_str(), "wbx");
    }
    if (!file_) {
        error_ = "cannot create a file in the folder of " + path + ": " + std::strerror(errno);
        temp_.clear();
        failed_ = true;
        return false;
    }
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t bytes) {
    if (failed_ || !file_) return false;
    if (bytes && std::fwrite(data, 1, bytes, file_) != bytes) {
        error_ = "cannot write " + target_ + ": " + std::strerror(errno);
        failed_ = true;
    }
    return !failed_;
}

bool AtomicFile::WriteU16(uint16_t v) {
    const unsigned char b[2] = {static_cast<unsigned char>(v & 0xFF),
                                static_cast<unsigned char>(v >> 8)};
    return Write(b, 2);
}

bool AtomicFile::WriteU32(uint32_t v) {
    unsigned char b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
    return Write(b, 4);
}

bool AtomicFile::WriteF64(double v) {
    unsigned char b[8];
    StoreF64(b, v);
    return Write(b, 8);
}

bool AtomicFile::Commit() {
    if (!file_) {
        if (error_.empty()) error_ = "no file open";
        return false;
    }
    if (!failed_ && std::fflush(file_) != 0) {
        error_ = "cannot write " + target_ + ": " + std::strerror(errno);
        failed_ = true;
    }
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!failed_ && !closed) {
        error_ = "cannot write " + target_ + ": " + std::strerror(errno);
        failed_ = true;
    }
    std::error_code ec;
    if (!failed_) {
        std::filesystem::rename(temp_, target_, ec);
        if (ec) {
            error_ = "cannot replace " + target_ + ": " + ec.message();
            failed_ = true;
        }
    }
    if (failed_) {
        std::filesystem::remove(temp_, ec);
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
}

void AtomicFile::Abandon() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
        temp_.clear();
    }
}

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error) {
    AtomicFile file;
    const bool ok = file.Open(path) && file.Write(content) && file.Commit();
    if (!ok && error) *error = file.Error();
    return ok;
}

}  // namespace fim
