#pragma once

#include <cstdio>

// Buffered byte-at-a-time reading of a FILE with one byte of look-ahead,
// without a library call per byte.
class ByteReader
{
public:
    explicit ByteReader(FILE* file) : mFile(file) {}

    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    // The next byte (0 to 255) without taking it, or EOF.
    int Peek()
    {
        if (mPos == mLength && !Fill()) return EOF;
        return mBuffer[mPos];
    }

    // Takes the next byte, or EOF.
    int Get()
    {
        if (mPos == mLength && !Fill()) return EOF;
        return mBuffer[mPos++];
    }

private:
    bool Fill()
    {
        mPos = 0;
        mLength = mFile ? std::fread(mBuffer, 1, sizeof(mBuffer), mFile) : 0;
        return mLength > 0;
    }

    FILE* mFile;
    unsigned char mBuffer[4096];
    size_t mPos = 0;
    size_t mLength = 0;
};
