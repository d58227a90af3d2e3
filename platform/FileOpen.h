#pragma once

// File access by UTF-8 path. On Windows the path is converted to UTF-16 and
// opened with the wide-character calls, so names outside the ANSI code page
// work; a path that is not valid UTF-8 is handed to the 8-bit calls as it
// stands (it then is taken to be in the ANSI code page). Elsewhere paths are
// byte strings and pass through unchanged.

#include <cstdio>

// fopen with a UTF-8 path.
FILE* OpenFileUtf8(const char* path, const char* mode);

// Creates a new file for writing; fails when the path already exists. In
// text mode line feeds are written as the platform's line end.
FILE* CreateNewFileUtf8(const char* path, bool textMode);

// Flushes the stream and asks the system to put the data on disk.
bool FlushFileToDisk(FILE* file);

// Replaces target by source in one step (the target is either the old or the
// new file, never a mixture); an existing target file is overwritten.
bool ReplaceFileUtf8(const char* source, const char* target);

// Deletes a file.
bool RemoveFileUtf8(const char* path);
