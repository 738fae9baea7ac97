#pragma once
// The twelve user macros: stored measurement set-ups that one key press replays. Macro 1 is
// "Speaker in Room", macro 2 "Direct Electric", macros 3–12 the user macros M1 … M10. Each is a
// 1348-byte record; the twelve are stored back to back (16176 bytes) as "Nusermakro1".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "spectrum/TimeWindow.h"

namespace fim {

struct UserMacro {
    static constexpr std::size_t kBytes = 1348;
    static constexpr uint8_t kSmoothFftCode = 100;

    std::string name;     // up to 30 characters
    std::string calFile;  // up to 255 characters each
    std::string micFile;
    std::string overlayFile;
    bool useCal = false;
    bool useMic = false;
    bool useOverlay = false;
    bool overlayOption2 = false;
    bool pinkMls = false;
    uint8_t mlsOrder = 15;  // sequence length 2^n
    uint8_t fftCode = 3;    // 0–4: plain FFT of 2048·2^code; 100: smoothed FFT
    bool atc = true;
    bool repeat = false;
    TimeWindow window;  // placed around the peak after the run
    int32_t averaging = 1;
    int32_t smoothing = 0;  // smoothing index v (width 2v + 1)

    // Bytes of the record that no field uses (804–805, 810–811, 868–1347); kept as read so a
    // record written by a later version survives a round trip.
    std::array<uint8_t, 2> reserved804{};
    std::array<uint8_t, 2> reserved810{};
    std::array<uint8_t, 480> reserved868{};

    bool operator==(const UserMacro&) const = default;

    // FFT size the macro selects, or 0 for the smoothed FFT and codes without a size.
    int32_t FftSize() const;
    // Replay selects the smoothed FFT for every code from 99 on.
    bool UsesSmoothFft() const { return fftCode >= 99; }
};

constexpr int kUserMacroCount = 12;
constexpr std::size_t kUserMacroBlockBytes = UserMacro::kBytes * kUserMacroCount;  // 16176

using UserMacroBlock = std::array<UserMacro, kUserMacroCount>;

std::vector<uint8_t> EncodeUserMacro(const UserMacro& m);
UserMacro DecodeUserMacro(const std::vector<uint8_t>& bytes, std::size_t at = 0);

std::vector<uint8_t> EncodeUserMacroBlock(const UserMacroBlock& block);
// nullopt unless `bytes` is exactly 16176 bytes long.
std::optional<UserMacroBlock> DecodeUserMacroBlock(const std::vector<uint8_t>& bytes);

// The plain default of macro i (1 … 12): name "User " + (i − 2), no files, flags off, MLS order
// 15, FFT code 3, ATC on, REPEAT off, window 400 µs / 10000 µs, averaging 1, smoothing 0.
UserMacro DefaultUserMacro(int index);

// Resets and converts the macro block for a settings version v (the stored version / 100,
// rounded; 0 when no block could be read):
//   v < 160       every macro gets its plain default;
//   0 < v < 153   macros 1–6 take their fields from `stored`, the older block of six 88-byte
//                 records (528 bytes);
//   v = 153       the same from six 92-byte records (552 bytes), with the smoothing index;
//   v = 0         macros 1–6 get the factory set-ups ("Speaker in Room", "Direct Electric",
//                 User 1 … User 4).
// An older block of the wrong size leaves the defaults. v ≥ 160 changes nothing.
void ConvertUserMacros(UserMacroBlock& block, int v, const std::vector<uint8_t>* stored);

// Replaces fields a damaged record holds out of range by their plain defaults, so a replay
// cannot select an MLS order the buffers do not hold or an averaging count the menu lacks: MLS
// order outside 12 … 18, FFT code other than 0 … 5 or 100, averaging other than 1, 2, 4 … 128,
// smoothing outside 0 … 10. Returns true when anything was replaced.
bool SanitizeUserMacro(UserMacro& m);

// The factory block: every default with the factory set-ups (v = 0).
UserMacroBlock FactoryUserMacros();

}  // namespace fim
