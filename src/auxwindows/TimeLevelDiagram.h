#pragma once
// The time-level diagram's computation: 100 successive blocks of the impulse response from the
// analysis window's start, each tapered and transformed; every cell holds the block's level at
// one frequency bin, normalised so that the loudest cell of the reference area is 255.
//
// Thread: UI thread only (it fills the shared window table and uses the caller's FFT engine).

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "settings/SettingsRecords.h"

namespace fim {

class FftEngine;
class WindowTable;

// Whether a settings record (the "TFL" record; the program never changes the values in use)
// can be computed: B one of 128, 256, 512 or 1024, 0 < D ≤ 100, 0 ≤ O ≤ D (blocks never step
// backwards) and a known taper type.
bool TflSettingsValid(const TflSettings& s);

struct LevelMatrix {
    static constexpr int kColumns = 100;
    int BlockLength = 0;
    double Max = 0.0;            // the normalising level before scaling (0 for a silent input)
    std::vector<double> Values;  // kColumns × Rows(), column after column

    // Values per column: bins 1 … B/2 − 1.
    int Rows() const { return BlockLength / 2 - 1; }
    // Level of FFT bin `bin` (1 … B/2 − 1) in column c.
    double At(int c, int bin) const {
        return Values[static_cast<std::size_t>(c * Rows() + bin - 1)];
    }
};

// Computes the matrix from the 1-based sample position `start` of `impulse` (the valid part of
// the impulse response). Samples that a block would read before the first or past the last
// value of `impulse` are zeros. A silent input (normalising level 0) gives level 0 everywhere.
// Returns false, leaving `out` unchanged, for settings that are not Valid().
bool ComputeLevels(const TflSettings& settings, std::span<const double> impulse, int64_t start,
                   WindowTable& window, FftEngine& engine, LevelMatrix& out);

// 256 colours 0x00BBGGRR for the level indices 0 … 255: dark blue for low levels, through red,
// to white for the highest.
const std::array<uint32_t, 256>& LevelColourMap();
// Colour of a matrix value: entry Round(v) of the map, held inside 0 … 255.
uint32_t LevelColour(double v);

// A mark of the diagram's legend: level index 0 … 255 and its level in dB below the loudest
// cell (0 at index 255).
struct LegendMark {
    int index = 0;
    int db = 0;
};
// Marks every 10 dB (20, 50, 100 … dB for wide ranges, at most eight) from the top of the colour
// map down to index 0, which lies 20·log10 of the normalising magnitude below it. Empty when `max`
// (the matrix's normalising level, 10·ln of a magnitude) is not above 0: the cells then carry no
// scale.
std::vector<LegendMark> LevelLegendMarks(double max);

// Paints the matrix into a width × height image (0x00BBGGRR, row 0 at the top): column c spans
// x = Round(c·cw) … Round((c+1)·cw), bin row k (1 … B/2) spans y = H − Round((k+1)·ch) …
// H − Round(k·ch) with cw = width/100 and ch = 2·height/B; rows k = 1 and 2 both show bin 1.
// Pixels no cell covers keep the colour of level 0.
std::vector<uint32_t> RenderLevels(const LevelMatrix& m, int width, int height);

}  // namespace fim
