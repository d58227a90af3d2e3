#pragma once

#include <bit>
#include <cstdint>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "state chunks are written in the machine's byte order, which must be little-endian");

// Growable byte buffer for serialised parameter values and the host's state
// chunk. Capacity grows in steps of kGrowStep bytes. Reads are bounds-checked:
// they return the position after the bytes read, or -1.
class StateChunk
{
public:
    static constexpr int kGrowStep = 4096;

    StateChunk() = default;

    int Size() const { return static_cast<int>(mBytes.size()); }
    const uint8_t* Data() const { return mBytes.data(); }
    uint8_t* Data() { return mBytes.data(); }

    // New bytes are zero. A negative size empties the chunk.
    void Resize(int size);
    void Clear() { mBytes.clear(); }

    // Appends n bytes; false (nothing appended) for a negative n, a null source
    // with n > 0, or a size that would exceed the 32-bit range.
    bool PutBytes(const void* data, int n);
    // Copies n bytes at pos into out; returns pos + n, or -1 when pos is
    // negative or the bytes run past the end (out is then untouched).
    int GetBytes(void* out, int n, int pos) const;

    bool PutInt32(int32_t v) { return PutBytes(&v, 4); }
    bool PutDouble(double v) { return PutBytes(&v, 8); }
    int GetInt32(int32_t* v, int pos) const { return GetBytes(v, 4, pos); }
    int GetDouble(double* v, int pos) const { return GetBytes(v, 8, pos); }

private:
    std::vector<uint8_t> mBytes;

    void Reserve(long long size);
};
