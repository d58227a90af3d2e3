#include "presets/PresetName.h"

#include <cstring>

void PresetName::SetFromPath(const char* path)
{
    if (!path || (mHasPath && path == mPath.c_str())) return;
    mPath = path;
    mHasPath = true;

    const char* start = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\' || *p == ':') start = p + 1;
    size_t length = std::strlen(start);
    if (length > static_cast<size_t>(kMaxName)) length = kMaxName;
    std::memcpy(mName, start, length);
    mName[length] = 0;
    char* dot = std::strrchr(mName, '.');
    if (dot && dot != mName) *dot = 0;
}

void PresetName::ForgetPath()
{
    mPath.clear();
    mHasPath = false;
}
