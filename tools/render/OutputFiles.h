#pragma once

#include <filesystem>
#include <string>

namespace zelbor::render
{

// A name for a temporary file beside target that does not exist yet
// (".NAME.part-XXXXXX"), so that a file can be written in full and then
// renamed over target, which is never seen half written.
std::filesystem::path TemporarySibling(const std::filesystem::path& target);

// Whether a file can be created at path: its folder exists and takes a new
// file, and path is neither a folder nor anything else that is not a regular
// file (a pipe, a device). Checked by creating and removing a
// temporary file beside it, so that a render never runs only to find that
// its result cannot be kept. On failure returns false with a message.
bool CanCreateFile(const std::string& path, std::string& error);

// Whether a and b name one file: the same existing file in any spelling or
// through any link, or, where none is there yet, the same place once "." and
// ".." and links are resolved. False when either is empty.
bool SameFile(const std::string& a, const std::string& b);

} // namespace zelbor::render
