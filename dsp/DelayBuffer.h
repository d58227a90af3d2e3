#pragma once

#include <memory>
#include <vector>

// Sample memory of one delay line: a ring of fixed-size blocks. Positions
// move through it with cursors that step one sample at a time and cross to the
// next block of the ring only at a block end.
//
// Layout guarantee: once allocated, the blocks lie end to end in one piece of
// memory in ring order, so block i starts at Base() + i x kBlockSize and
// sample k is Base()[k] for 0 <= k < length. Code that walks the memory as one
// flat ring (from Base() to Base() + length) may rely on this while
// Contiguous() is true; the block records and their links stay valid as well.
class DelayBuffer
{
public:
    static constexpr int kBlockSize = 8192;
    // Upper bound on the length, whatever rate and duration are asked for.
    static constexpr int kMaxSamples = 1 << 22;

    struct Block
    {
        Block* next = nullptr;
        Block* prev = nullptr;
        double* data = nullptr;
        double* end = nullptr;
        int index = 0;
    };

    // A position in the ring: the slot, its block and that block's end.
    struct Cursor
    {
        double* slot = nullptr;
        Block* block = nullptr;
        double* end = nullptr;

        void Advance()
        {
            if (++slot == end)
            {
                block = block->next;
                slot = block->data;
                end = block->end;
            }
        }
    };

    DelayBuffer() = default;
    DelayBuffer(const DelayBuffer&) = delete;
    DelayBuffer& operator=(const DelayBuffer&) = delete;

    // Makes room for at least the requested number of samples (limited to
    // 1 .. kMaxSamples), rounded up to whole blocks, all zero. Memory is reused
    // when the block count does not change.
    void Allocate(int requestedSamples);
    // Zeroes every sample.
    void Clear();
    bool Empty() const { return length == 0; }

    // True when there are samples, laid out end to end as described above.
    bool Contiguous() const { return storage != nullptr && length > 0; }
    // First sample of the ring (null before the first allocation).
    double* Base() { return storage.get(); }
    const double* Base() const { return storage.get(); }

    // Cursor on sample k; k outside 0 .. length - 1 is wrapped into the ring.
    Cursor CursorAt(int k);
    // Cursor on sample k, which must lie in 0 .. length - 1 (unchecked).
    Cursor CursorInRange(int k)
    {
        const auto u = static_cast<unsigned>(k);
        Block& b = blocks[u / kBlockSize];
        return Cursor{b.data + u % kBlockSize, &b, b.end};
    }
    // Sample k, 0 <= k < length (unchecked).
    double& At(int k) { return blocks[k / kBlockSize].data[k % kBlockSize]; }
    double At(int k) const { return blocks[k / kBlockSize].data[k % kBlockSize]; }

    // A one-sample ring of silence for readers that have no buffer; it is
    // never written.
    static Cursor SilentCursor();

    int requested = 0;
    int blockCount = 0;
    int length = 0;
    double lengthD = 0.0;
    // The block records in ring order; each links to its neighbours.
    std::vector<Block> blocks;

private:
    std::unique_ptr<double[]> storage;
};
