#include "base/ByteSource.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fim {

std::size_t MemorySource::ReadAt(uint64_t offset, void* dst, std::size_t bytes) {
    if (offset >= size_) return 0;
    const std::size_t n =
        static_cast<std::size_t>(std::min<uint64_t>(bytes, static_cast<uint64_t>(size_) - offset));
    if (n) std::memcpy(dst, data_ + offset, n);
    return n;
}

FileSource::~FileSource() { Close(); }

bool FileSource::Open(const std::string& path) {
    Close();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return false;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    size_ = size;
    return true;
}

void FileSource::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
}

std::size_t FileSource::ReadAt(uint64_t offset, void* dst, std::size_t bytes) {
    if (!file_ || offset >= size_) return 0;
    bytes = static_cast<std::size_t>(std::min<uint64_t>(bytes, size_ - offset));
    if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return 0;
    return std::fread(dst, 1, bytes, file_);
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& out, uint64_t maxBytes) {
    FileSource source;
    if (!source.Open(path) || source.Size() > maxBytes) return false;
    std::vector<unsigned char> data(static_cast<std::size_t>(source.Size()));
    if (source.ReadAt(0, data.data(), data.size()) != data.size()) return false;
    out = std::move(data);
    return true;
}

}  // namespace fim
