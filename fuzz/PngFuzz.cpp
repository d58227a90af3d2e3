// The PNG decoder with any bytes: either nothing, or a bitmap within the
// size limits whose every pixel can be read.

#include "raster/ImageLoader.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    LICE_IBitmap* bitmap = DecodePngMemory(bytes.data(), bytes.size());
    if (bitmap == nullptr) return 0;
    const int w = bitmap->Width();
    const int h = bitmap->Height();
    if (w < 1 || h < 1 || w > PngMaxDimension || h > PngMaxDimension ||
        static_cast<long long>(w) * h > PngMaxPixels)
        __builtin_trap();
    uint32_t sum = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            sum += bitmap->Bits()[static_cast<size_t>(y) * bitmap->RowSpan() + x];
    delete bitmap;
    volatile uint32_t kept = sum; // so that the reads stay
    (void)kept;
    return 0;
}
