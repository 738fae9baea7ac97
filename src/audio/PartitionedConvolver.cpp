#include "audio/PartitionedConvolver.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "core/FftEngine.h"

namespace fim {

PartitionedConvolver::PartitionedConvolver(std::size_t blockSize)
    : block_(std::clamp<std::size_t>(std::bit_ceil(blockSize), 16, 32768)),
      fftSize_(2 * block_),
      bins_(block_ + 1) {
    re_.assign(fftSize_, 0.0);
    im_.assign(fftSize_, 0.0);
    tail_.assign(bins_, cd());
    previousBlock_.assign(block_, 0.0);
    currentBlock_.assign(block_, 0.0);
    SetResponse({});
}

void PartitionedConvolver::Transform(bool inverse) {
    FftEngine::TransformComplex(re_.data(), im_.data(), static_cast<int>(fftSize_), inverse);
}

void PartitionedConvolver::SetResponse(const std::vector<double>& response) {
    partitions_ = std::max<std::size_t>(1, (response.size() + block_ - 1) / block_);
    responseSpectra_.assign(partitions_ * bins_, cd());
    for (std::size_t p = 0; p < partitions_; ++p) {
        std::fill(re_.begin(), re_.end(), 0.0);
        std::fill(im_.begin(), im_.end(), 0.0);
        for (std::size_t k = 0; k < block_; ++k) {
            const std::size_t i = p * block_ + k;
            if (i < response.size()) re_[k] = response[i];
        }
        Transform(false);
        // The 1/(2B) of the inverse transform is folded into the response.
        const double scale = 1.0 / static_cast<double>(fftSize_);
        for (std::size_t k = 0; k < bins_; ++k) {
            responseSpectra_[p * bins_ + k] = cd(re_[k], im_[k]) * scale;
        }
    }
    inputSpectra_.assign(partitions_ * bins_, cd());
    Reset();
}

void PartitionedConvolver::Reset() {
    std::fill(inputSpectra_.begin(), inputSpectra_.end(), cd());
    std::fill(previousBlock_.begin(), previousBlock_.end(), 0.0);
    std::fill(currentBlock_.begin(), currentBlock_.end(), 0.0);
    std::fill(tail_.begin(), tail_.end(), cd());
    newest_ = 0;
    fill_ = 0;
    emitted_ = 0;
}

// Σ_{p ≥ 1} H_p · X_{b−p}: everything the current block's output needs from earlier blocks.
void PartitionedConvolver::ComputeTail() {
    std::fill(tail_.begin(), tail_.end(), cd());
    for (std::size_t p = 1; p < partitions_; ++p) {
        const std::size_t slot = (newest_ + partitions_ - p) % partitions_;
        const cd* h = &responseSpectra_[p * bins_];
        const cd* x = &inputSpectra_[slot * bins_];
        for (std::size_t k = 0; k < bins_; ++k) tail_[k] += h[k] * x[k];
    }
}

// Transforms [previous block, current block (zero beyond fill_)] and produces the output of the
// current block's samples from..to into y. Also leaves the block's spectrum in the delay line slot
// newest_.
void PartitionedConvolver::ComputeOutput(std::size_t from, std::size_t to, double* y) {
    for (std::size_t k = 0; k < block_; ++k) re_[k] = previousBlock_[k];
    for (std::size_t k = 0; k < block_; ++k) re_[block_ + k] = k < fill_ ? currentBlock_[k] : 0.0;
    std::fill(im_.begin(), im_.end(), 0.0);
    Transform(false);
    cd* slot = &inputSpectra_[newest_ * bins_];
    const cd* h0 = &responseSpectra_[0];
    for (std::size_t k = 0; k < bins_; ++k) {
        slot[k] = cd(re_[k], im_[k]);
        const cd y = tail_[k] + h0[k] * slot[k];
        re_[k] = y.real();
        im_[k] = y.imag();
    }
    // Real output: the upper half of the spectrum mirrors the lower.
    for (std::size_t k = bins_; k < fftSize_; ++k) {
        re_[k] = re_[fftSize_ - k];
        im_[k] = -im_[fftSize_ - k];
    }
    Transform(true);
    for (std::size_t k = from; k < to; ++k) y[k - from] = re_[block_ + k];
}

void PartitionedConvolver::FinishBlock() {
    std::swap(previousBlock_, currentBlock_);
    fill_ = 0;
    emitted_ = 0;
    newest_ = (newest_ + 1) % partitions_;
    ComputeTail();
}

void PartitionedConvolver::Process(const double* x, double* y, std::size_t count) {
    while (count > 0) {
        const std::size_t n = std::min(count, block_ - fill_);
        std::copy(x, x + n, currentBlock_.begin() + static_cast<std::ptrdiff_t>(fill_));
        fill_ += n;
        ComputeOutput(emitted_, fill_, y);
        emitted_ = fill_;
        if (fill_ == block_) FinishBlock();
        x += n;
        y += n;
        count -= n;
    }
}

}  // namespace fim
