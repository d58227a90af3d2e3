#pragma once

#include <cstddef>
#include <string>

// Writes data as the whole new content of the file at path (UTF-8) without
// ever leaving a partly written file there: the data goes to a new file in
// the same folder, which then replaces the target in one step. On any failure
// the target is left as it was, the new file is removed and the result is
// false. In text mode line feeds become the platform's line end. An existing
// file keeps its access permissions; a symbolic link stays a link and the
// file it names is replaced.
bool WriteFileAtomically(const char* path, const char* data, size_t size, bool textMode);

// Name of the attempt-th temporary file for path: in the same folder, with a
// short name without any "." (so that a file left behind by a crash is never
// listed as a preset, and the temporary path is no longer than the target's
// whenever the target's file name has at least five characters).
std::string TemporaryPathFor(const char* path, int attempt);
