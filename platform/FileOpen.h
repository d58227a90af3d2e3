#pragma once

// File access by UTF-8 path. On Windows the path is converted to UTF-16 and
// opened with the wide-character calls, so names outside the ANSI code page
// work; a path that is not valid UTF-8 is handed to the 8-bit calls as it
// stands (it then is taken to be in the ANSI code page). Elsewhere paths are
// byte strings and pass through unchanged.

#include <cstdio>
#include <string>

// fopen with a UTF-8 path.
FILE* OpenFileUtf8(const char* path, const char* mode);

// Opens an existing regular file (or a link to one) for reading in binary
// mode. Null for anything else, a folder, a pipe or a device, without ever
// waiting for a writer on the other end of a pipe.
FILE* OpenRegularFileUtf8(const char* path);

// The path that a write through path reaches: for a symbolic link (or a
// chain of them) the file it finally names, which need not exist yet;
// otherwise path itself.
std::string ResolveFileLinks(const char* path);

// Gives the open file the access permissions of the existing file at from;
// true when there is nothing to copy.
bool CopyFilePermissions(const char* from, FILE* to);

// Creates a new file for writing; fails when the path already exists. In
// text mode line feeds are written as the platform's line end.
FILE* CreateNewFileUtf8(const char* path, bool textMode);

// Flushes the stream and asks the system to put the data on disk.
bool FlushFileToDisk(FILE* file);

// Replaces target by source in one step (the target is either the old or the
// new file, never a mixture); an existing target file is overwritten. On
// Windows the new file keeps the attributes of the one it replaces.
bool ReplaceFileUtf8(const char* source, const char* target);

// Deletes a file.
bool RemoveFileUtf8(const char* path);
