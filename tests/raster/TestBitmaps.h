#pragma once

#include "raster/LICE_IBitmap.h"

#include <cstdint>
#include <random>
#include <vector>

// A bitmap inside a larger buffer: a ring of guard pixels surrounds it, so a
// test can prove that drawing never touches memory outside the bitmap. The
// buffer is exactly as large as needed, so AddressSanitizer also catches
// overruns past the guard.
class GuardedBitmap : public LICE_IBitmap
{
public:
    static constexpr uint32_t Guard = 0xA5C3E1F7u;

    GuardedBitmap(int w, int h, int guard = 3, bool flipped = false)
        : w_(w), h_(h), g_(guard), flipped_(flipped),
          pixels_(static_cast<size_t>(w + 2 * guard) * (h + 2 * guard), Guard)
    {
        for (int y = 0; y < h; ++y)
        {
            for (int x = 0; x < w; ++x)
            {
                At(x, y) = 0;
            }
        }
    }

    uint32_t* Bits() override
    {
        // Bottom-up bitmaps report the first row in memory, the bottom one.
        return pixels_.data() + static_cast<size_t>(g_) * Span() + g_;
    }
    int Width() override { return w_; }
    int Height() override { return h_; }
    int RowSpan() override { return Span(); }
    bool IsFlipped() override { return flipped_; }
    bool Resize(int, int) override { return false; }

    // Pixel (x, y) counted from the top row.
    uint32_t& At(int x, int y)
    {
        const int row = flipped_ ? h_ - 1 - y : y;
        return pixels_[static_cast<size_t>(row + g_) * Span() + g_ + x];
    }

    bool GuardIntact() const
    {
        const int span = Span();
        for (int y = 0; y < h_ + 2 * g_; ++y)
        {
            for (int x = 0; x < span; ++x)
            {
                const bool inside = x >= g_ && x < g_ + w_ && y >= g_ && y < g_ + h_;
                if (!inside && pixels_[static_cast<size_t>(y) * span + x] != Guard)
                {
                    return false;
                }
            }
        }
        return true;
    }

    void FillRandom(std::mt19937& rng)
    {
        for (int y = 0; y < h_; ++y)
        {
            for (int x = 0; x < w_; ++x)
            {
                At(x, y) = static_cast<uint32_t>(rng());
            }
        }
    }

    void Fill(uint32_t c)
    {
        for (int y = 0; y < h_; ++y)
        {
            for (int x = 0; x < w_; ++x)
            {
                At(x, y) = c;
            }
        }
    }

    std::vector<uint32_t> Pixels()
    {
        std::vector<uint32_t> out;
        for (int y = 0; y < h_; ++y)
        {
            for (int x = 0; x < w_; ++x)
            {
                out.push_back(At(x, y));
            }
        }
        return out;
    }

private:
    int Span() const { return w_ + 2 * g_; }

    int w_;
    int h_;
    int g_;
    bool flipped_;
    std::vector<uint32_t> pixels_;
};
