#include "audio/PartitionedConvolver.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace fim {

PartitionedConvolver::PartitionedConvolver(std::size_t blockSize)
    : block_(std::max<std::size_t>(16, std::bit_ceil(blockSize))),
      fftSize_(2 * block_),
      bins_(block_ + 1) {
    twiddle_.resize(fftSize_ / 2);
    for (std::size_t k = 0; k < fftSize_ / 2; ++k) {
        const double a = -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(fftSize_);
        twiddle_[k] = cd(std::cos(a), std::sin(a));
    }
    bitReverse_.resize(fftSize_);
    std::size_t bits = 0;
    while ((std::size_t{1} << bits) < fftSize_) ++bits;
    for (std::size_t i = 0; i < fftSize_; ++i) {
        std::size_t r = 0;
        for (std::size_t b = 0; b < bits; ++b) {
            if (i & (std::size_t{1} << b)) r |= std::size_t{1} << (bits - 1 - b);
        }
        bitReverse_[i] = r;
    }
    work_.resize(fftSize_);
    tail_.assign(bins_, cd());
    previousBlock_.assign(block_, 0.0);
    currentBlock_.assign(block_, 0.0);
    SetResponse({});
}

void PartitionedConvolver::Transform(std::vector<cd>& a, bool inverse) const {
    const std::size_t n = fftSize_;
    for (std::size_t i = 0; i < n; ++i) {
        if (i < bitReverse_[i]) std::swap(a[i], a[bitReverse_[i]]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::size_t half = len / 2;
        const std::size_t step = n / len;
        for (std::size_t start = 0; start < n; start += len) {
            for (std::size_t j = 0; j < half; ++j) {
                cd w = twiddle_[j * step];
                if (inverse) w = std::conj(w);
                const cd u = a[start + j];
                const cd v = a[start + j + half] * w;
                a[start + j] = u + v;
                a[start + j + half] = u - v;
            }
        }
    }
}

void PartitionedConvolver::SetResponse(const std::vector<double>& response) {
    partitions_ = std::max<std::size_t>(1, (response.size() + block_ - 1) / block_);
    responseSpectra_.assign(partitions_ * bins_, cd());
    for (std::size_t p = 0; p < partitions_; ++p) {
        std::fill(work_.begin(), work_.end(), cd());
        for (std::size_t k = 0; k < block_; ++k) {
            const std::size_t i = p * block_ + k;
            if (i < response.size()) work_[k] = response[i];
        }
        Transform(work_, false);
        // The 1/(2B) of the inverse transform is folded into the response.
        const double scale = 1.0 / static_cast<double>(fftSize_);
        for (std::size_t k = 0; k < bins_; ++k) responseSpectra_[p * bins_ + k] = work_[k] * scale;
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
// current block's samples from..to into y. Also leaves the block's spectrum in the delay line slot newest_.
void PartitionedConvolver::ComputeOutput(std::size_t from, std::size_t to, double* y) {
    for (std::size_t k = 0; k < block_; ++k) work_[k] = previousBlock_[k];
    for (std::size_t k = 0; k < block_; ++k) work_[block_ + k] = k < fill_ ? currentBlock_[k] : 0.0;
    Transform(work_, false);
    cd* slot = &inputSpectra_[newest_ * bins_];
    const cd* h0 = &responseSpectra_[0];
    for (std::size_t k = 0; k < bins_; ++k) {
        slot[k] = work_[k];
        work_[k] = tail_[k] + h0[k] * work_[k];
    }
    // Real output: the upper half of the spectrum mirrors the lower.
    for (std::size_t k = bins_; k < fftSize_; ++k) work_[k] = std::conj(work_[fftSize_ - k]);
    Transform(work_, true);
    for (std::size_t k = from; k < to; ++k) y[k - from] = work_[block_ + k].real();
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
