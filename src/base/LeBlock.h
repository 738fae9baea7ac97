#pragma once
// A fixed-size little-endian byte block addressed by offset: the stored settings records (colour
// table, windows, macros, clock, finder) are read and written field by field through it, never by
// casting a padded struct. Every access is bounds-checked; an access past the end reads 0 and
// writes nothing, so a layout slip cannot run past the buffer.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace fim {

class LeBlock {
  public:
    explicit LeBlock(std::size_t size) : bytes_(size, 0) {}
    explicit LeBlock(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

    uint8_t U8(std::size_t at) const { return Fits(at, 1) ? bytes_[at] : 0; }
    uint16_t U16(std::size_t at) const { return static_cast<uint16_t>(Unsigned(at, 2)); }
    int16_t I16(std::size_t at) const { return static_cast<int16_t>(U16(at)); }
    uint32_t U32(std::size_t at) const { return static_cast<uint32_t>(Unsigned(at, 4)); }
    int32_t I32(std::size_t at) const { return static_cast<int32_t>(U32(at)); }
    double F64(std::size_t at) const {
        const uint64_t bits = Unsigned(at, 8);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    void PutU8(std::size_t at, uint8_t v) { PutUnsigned(at, 1, v); }
    void PutU16(std::size_t at, uint16_t v) { PutUnsigned(at, 2, v); }
    void PutI16(std::size_t at, int16_t v) { PutUnsigned(at, 2, static_cast<uint16_t>(v)); }
    void PutU32(std::size_t at, uint32_t v) { PutUnsigned(at, 4, v); }
    void PutI32(std::size_t at, int32_t v) { PutUnsigned(at, 4, static_cast<uint32_t>(v)); }
    void PutF64(std::size_t at, double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        PutUnsigned(at, 8, bits);
    }

    // A string field of `fieldSize` bytes: a length byte, then the characters, zero-filled. A
    // stored length larger than the field holds is cut to the field (a damaged record must not
    // read past its field).
    std::string ShortString(std::size_t at, std::size_t fieldSize) const {
        if (fieldSize == 0 || !Fits(at, fieldSize)) return {};
        std::size_t len = bytes_[at];
        if (len > fieldSize - 1) len = fieldSize - 1;
        return std::string(reinterpret_cast<const char*>(bytes_.data() + at + 1), len);
    }
    // Writes `text` into a string field, cut to fieldSize − 1 bytes (and to at most 255) without
    // splitting a UTF-8 sequence; the rest of the field is zero-filled.
    void PutShortString(std::size_t at, std::size_t fieldSize, std::string_view text) {
        if (fieldSize == 0 || !Fits(at, fieldSize)) return;
        std::size_t limit = fieldSize - 1;
        if (limit > 255) limit = 255;
        std::size_t len = text.size() < limit ? text.size() : limit;
        // Step back over UTF-8 continuation bytes so the cut falls on a character boundary.
        if (len < text.size()) {
            while (len > 0 && (static_cast<unsigned char>(text[len]) & 0xC0) == 0x80) --len;
        }
        std::memset(bytes_.data() + at, 0, fieldSize);
        bytes_[at] = static_cast<uint8_t>(len);
        std::memcpy(bytes_.data() + at + 1, text.data(), len);
    }

    // Copies `count` raw bytes from `src` (offset `from`) to this block at `at`; out-of-range
    // copies do nothing.
    void CopyFrom(const LeBlock& src, std::size_t from, std::size_t at, std::size_t count) {
        if (!src.Fits(from, count) || !Fits(at, count)) return;
        std::memcpy(bytes_.data() + at, src.bytes_.data() + from, count);
    }

  private:
    bool Fits(std::size_t at, std::size_t n) const {
        return at <= bytes_.size() && n <= bytes_.size() - at;
    }
    uint64_t Unsigned(std::size_t at, int n) const {
        if (!Fits(at, static_cast<std::size_t>(n))) return 0;
        uint64_t v = 0;
        for (int k = n - 1; k >= 0; --k) v = (v << 8) | bytes_[at + static_cast<std::size_t>(k)];
        return v;
    }
    void PutUnsigned(std::size_t at, int n, uint64_t v) {
        if (!Fits(at, static_cast<std::size_t>(n))) return;
        for (int k = 0; k < n; ++k) {
            bytes_[at + static_cast<std::size_t>(k)] = static_cast<uint8_t>(v & 0xFF);
            v >>= 8;
        }
    }

    std::vector<uint8_t> bytes_;
};

}  // namespace fim
