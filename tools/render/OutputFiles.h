#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace zelbor::render
{

// A name for a temporary file beside target that does not exist yet
// (".NAME.part-XXXXXX"), so that a file can be written in full and then
// renamed over target, which is never seen half written.
std::filesystem::path TemporarySibling(const std::filesystem::path& target);

// Writes the file at target in full before it takes target's name: write
// makes it under a temporary name beside target, and only when that succeeds
// is it renamed over target. Otherwise (write failing or throwing, or the
// rename failing) the temporary file goes and target stays as it was; a
// failed rename puts its reason in error.
bool WriteThroughTemporary(const std::filesystem::path& target,
                           const std::function<bool(const std::filesystem::path&)>& write,
                           std::string& error);

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
