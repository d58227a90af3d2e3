#pragma once

// The separator this platform's paths are built with.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// "\" and "/": a path that already ends with either gets no second one.
inline bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/';
}

// The characters that end a folder when a path of this platform is taken
// apart: both on Windows; elsewhere only "/", as "\" may be part of a name.
inline bool IsFolderSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// Whether path names a place without reference to a current folder: on
// Windows one that starts with a separator (rooted or a network share) or a
// drive letter and ":"; elsewhere one that starts with "/".
inline bool IsAbsolutePath(const char* path)
{
    if (!path || !*path) return false;
#ifdef _WIN32
    if (IsPathSeparator(path[0])) return true;
    char drive = path[0];
    return ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) && path[1] == ':';
#else
    return path[0] == '/';
#endif
}
