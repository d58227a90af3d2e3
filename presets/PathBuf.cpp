#include "presets/PathBuf.h"

#include "platform/PathSeparator.h"

#include <cstring>

namespace
{
constexpr int kBufferSize = 268;
static_assert(kBufferSize > PathBuf::kMaxPath);
} // namespace

PathBuf::PathBuf() : mBuffer(new char[kBufferSize])
{
    mBuffer[0] = 0;
}

PathBuf::~PathBuf() = default;

void PathBuf::Clear()
{
    mLength = 0;
    mBuffer[0] = 0;
}

bool PathBuf::Set(const char* text)
{
    size_t length = text ? std::strlen(text) : 0;
    if (length > static_cast<size_t>(kMaxPath))
    {
        Clear();
        return false;
    }
    std::memcpy(mBuffer.get(), text ? text : "", length + 1);
    mLength = static_cast<int>(length);
    return true;
}

int PathBuf::LengthWith(const char* name) const
{
    if (!name) return mLength;
    size_t nameLength = std::strlen(name);
    if (nameLength > static_cast<size_t>(kBufferSize))
        return kBufferSize + mLength; // surely too long; avoids overflow
    bool needSeparator = mLength == 0 || !IsPathSeparator(mBuffer[mLength - 1]);
    return mLength + (needSeparator ? 1 : 0) + static_cast<int>(nameLength);
}

bool PathBuf::AppendPathPart(const char* name)
{
    if (!name) return true;
    int total = LengthWith(name);
    if (total > kMaxPath) return false;
    if (mLength == 0 || !IsPathSeparator(mBuffer[mLength - 1])) mBuffer[mLength++] = kPathSeparator;
    std::memcpy(mBuffer.get() + mLength, name, static_cast<size_t>(total - mLength) + 1);
    mLength = total;
    return true;
}
