#include "dsp/DelayBuffer.h"

#include <algorithm>
#include <cstring>

void DelayBuffer::Allocate(int requestedSamples)
{
    const int wanted = std::clamp(requestedSamples, 1, kMaxSamples);
    const int count = (wanted + kBlockSize - 1) / kBlockSize;
    if (count != blockCount || !storage)
    {
        // Both allocations come first: when memory runs out, the line keeps
        // its old ring whole, and the cursors into it stay valid.
        auto freshStorage = std::make_unique<double[]>(static_cast<size_t>(count) * kBlockSize);
        std::vector<Block> freshBlocks(static_cast<size_t>(count));
        storage = std::move(freshStorage);
        blocks = std::move(freshBlocks);
        blockCount = count;
    }
    else
    {
        Clear();
    }
    requested = wanted;
    length = blockCount * kBlockSize;
    lengthD = static_cast<double>(length);
    for (int i = 0; i < blockCount; ++i)
    {
        Block& b = blocks[static_cast<size_t>(i)];
        b.index = i;
        b.data = storage.get() + static_cast<size_t>(i) * kBlockSize;
        b.end = b.data + kBlockSize;
        b.next = &blocks[static_cast<size_t>((i + 1) % blockCount)];
        b.prev = &blocks[static_cast<size_t>((i + blockCount - 1) % blockCount)];
    }
}

void DelayBuffer::Clear()
{
    // All bits zero is 0.0; one memset whatever the build's optimisation.
    if (storage) std::memset(storage.get(), 0, sizeof(double) * static_cast<size_t>(length));
}

DelayBuffer::Cursor DelayBuffer::CursorAt(int k)
{
    if (length <= 0) return SilentCursor();
    if (k < 0 || k >= length)
    {
        k %= length;
        if (k < 0) k += length;
    }
    return CursorInRange(k);
}

DelayBuffer::Cursor DelayBuffer::SilentCursor()
{
    static double silence[1] = {0.0};
    static Block silentBlock{&silentBlock, &silentBlock, silence, silence + 1, 0};
    Cursor c;
    c.slot = silence;
    c.block = &silentBlock;
    c.end = silence + 1;
    return c;
}
