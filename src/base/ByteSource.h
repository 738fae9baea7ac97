#pragma once
// Random-access byte input for the file readers: a file on disk or a buffer in memory (tests and
// fuzzers). Reads never go past the end; a short read returns what is there.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace fim {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Copies up to `bytes` bytes from `offset` into `dst`; returns the count copied (0 at or past
    // the end, or on a read error).
    virtual std::size_t ReadAt(uint64_t offset, void* dst, std::size_t bytes) = 0;
};

class MemorySource : public ByteSource {
  public:
    MemorySource(const void* data, std::size_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    uint64_t Size() const override { return size_; }
    std::size_t ReadAt(uint64_t offset, void* dst, std::size_t bytes) override;

  private:
    const unsigned char* data_;
    std::size_t size_;
};

class FileSource : public ByteSource {
  public:
    FileSource() = default;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    ~FileSource() override;
    // Opens `path` for reading; false when it cannot be opened or is not a regular file.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    uint64_t Size() const override { return size_; }
    std::size_t ReadAt(uint64_t offset, void* dst, std::size_t bytes) override;

  private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
};

// Reads a whole regular file of at most `maxBytes` bytes. False when it cannot be opened, is not a
// regular file, is larger than `maxBytes`, or a read fails.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& out,
                   uint64_t maxBytes = 64ull << 20);

}  // namespace fim
