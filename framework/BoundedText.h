#pragma once

#include <cstddef>

// Copies src into the size-byte buffer dest: at most size - 1 characters,
// always terminated, src read no further than that. A null src copies as
// empty text. size must be at least 1.
inline void CopyBoundedText(char* dest, const char* src, std::size_t size)
{
    std::size_t n = 0;
    if (src)
    {
        for (; n + 1 < size && src[n]; ++n)
            dest[n] = src[n];
    }
    dest[n] = 0;
}
