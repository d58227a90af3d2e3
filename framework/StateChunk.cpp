#include "framework/StateChunk.h"

#include <climits>
#include <cstring>

void StateChunk::Reserve(long long size)
{
    if (size <= static_cast<long long>(mBytes.capacity())) return;
    long long rounded = (size + kGrowStep - 1) / kGrowStep * kGrowStep;
    mBytes.reserve(static_cast<size_t>(rounded));
}

void StateChunk::Resize(int size)
{
    if (size < 0) size = 0;
    Reserve(size);
    mBytes.resize(static_cast<size_t>(size), 0);
}

bool StateChunk::PutBytes(const void* data, int n)
{
    if (n < 0 || (n > 0 && !data)) return false;
    long long newSize = static_cast<long long>(mBytes.size()) + n;
    if (newSize > INT_MAX) return false;
    Reserve(newSize);
    const uint8_t* p = static_cast<const uint8_t*>(data);
    mBytes.insert(mBytes.end(), p, p + n);
    return true;
}

int StateChunk::GetBytes(void* out, int n, int pos) const
{
    // 64-bit arithmetic: pos + n must not wrap around for large positions.
    if (pos < 0 || n < 0 || static_cast<long long>(pos) + n > static_cast<long long>(mBytes.size()))
        return -1;
    if (n > 0) std::memcpy(out, mBytes.data() + pos, static_cast<size_t>(n));
    return pos + n;
}
