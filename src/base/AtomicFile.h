#pragma once
// Writing files so that an old file is replaced only by a complete new one: the content goes to a
// temporary file in the same folder, which is renamed over the target when every byte is written.
// A failed or abandoned write removes the temporary file and leaves the old file untouched.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace fim {

class AtomicFile {
  public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    // Abandons an uncommitted write.
    ~AtomicFile();

    // Creates the temporary file beside `path`. False (with Error()) when it cannot be created.
    bool Open(const std::string& path);
    // Appends bytes; false once any write has failed (later writes are ignored).
    bool Write(const void* data, std::size_t bytes);
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }
    // Little-endian fields, written byte by byte whatever the host order.
    bool WriteU16(uint16_t v);
    bool WriteU32(uint32_t v);
    bool WriteI16(int16_t v) { return WriteU16(static_cast<uint16_t>(v)); }
    bool WriteF64(double v);
    // Flushes, closes and renames the temporary file over the target. False when anything failed;
    // the temporary file is then removed and the target is as it was.
    bool Commit();
    // Drops the temporary file; the target stays as it was.
    void Abandon();

    const std::string& Error() const { return error_; }

  private:
    std::FILE* file_ = nullptr;
    std::string target_;
    std::string temp_;
    std::string error_;
    bool failed_ = false;
};

// Writes `content` to `path` through an AtomicFile. On failure returns false and, when `error` is
// given, a short description.
bool WriteFileAtomically(const std::string& path, std::string_view content,
                         std::string* error = nullptr);

// Little-endian field helpers for readers that work on byte buffers.
inline uint16_t LoadU16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LoadU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
double LoadF64(const unsigned char* p);
void StoreF64(unsigned char* p, double v);

}  // namespace fim
