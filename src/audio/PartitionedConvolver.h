#pragma once
// Streaming convolution with a long impulse response by uniformly partitioned overlap-save: the
// response is cut into blocks of B taps whose spectra (FFT size 2B) are multiplied with a delay
// line of input-block spectra. Cost per output sample is O(log B + taps / B) instead of O(taps),
// so a one-second room keeps up in real time. Input may arrive in chunks of any length: a partly
// filled block is transformed zero-padded, which gives the exact causal output for its samples.
//
// Thread: one owner at a time (the Virtual Room's audio thread while it runs). All memory is
// allocated in SetResponse; Process never allocates.

#include <complex>
#include <cstddef>
#include <vector>

namespace fim {

class PartitionedConvolver {
  public:
    // blockSize: a power of two, 16 … 32768.
    explicit PartitionedConvolver(std::size_t blockSize = 1024);

    // Installs a new response and clears the input history.
    void SetResponse(const std::vector<double>& response);
    // Clears the input history (silence before the next sample).
    void Reset();

    // y[i] = Σ_k h[k] · x[i − k] over the whole stream seen since the last Reset.
    void Process(const double* x, double* y, std::size_t count);

    std::size_t BlockSize() const { return block_; }
    std::size_t Partitions() const { return partitions_; }

  private:
    using cd = std::complex<double>;

    // In-place transform of re_/im_ with the program's FFT engine.
    void Transform(bool inverse);
    void FinishBlock();
    void ComputeTail();
    void ComputeOutput(std::size_t from, std::size_t to, double* y);

    std::size_t block_;
    std::size_t fftSize_;
    std::size_t bins_;  // B + 1 non-redundant bins of a real signal
    std::size_t partitions_ = 0;

    std::vector<cd> responseSpectra_;  // partitions_ × bins_
    std::vector<cd> inputSpectra_;     // delay line, partitions_ × bins_, ring
    std::size_t newest_ = 0;           // ring slot of the current block's spectrum

    std::vector<double> previousBlock_;  // last complete input block
    std::vector<double> currentBlock_;   // input block being filled
    std::size_t fill_ = 0;               // samples in currentBlock_
    std::size_t emitted_ = 0;            // outputs of the current block already given out

    std::vector<cd> tail_;         // Σ over partitions ≥ 1 for the current block
    std::vector<double> re_, im_;  // fftSize_ work arrays
};

}  // namespace fim
