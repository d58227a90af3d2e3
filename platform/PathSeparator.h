#pragma once

// The separator this platform's paths are built with. Both "\" and "/" are
// recognised when a path is taken apart.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

inline bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/';
}
