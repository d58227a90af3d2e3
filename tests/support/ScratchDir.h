#pragma once

// A scratch folder for tests that touch files, with the UTF-8 conversions and
// whole-file reads and writes they use. Paths go through std::filesystem so
// that names outside ASCII survive on Windows, where narrow strings are not
// UTF-8.

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// UTF-8 text of a path, and the path of UTF-8 text.
std::string Utf8(const fs::path& path);
fs::path PathFromUtf8(const std::string& text);

// A fresh, empty folder under the system's temporary folder, its name unique
// to the process and the object; removed with everything in it (read-only
// folders and files included) when the object goes.
class ScratchDir
{
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& Path() const { return mPath; }
    std::string Utf8Path() const { return Utf8(mPath); }
    // UTF-8 path of name (UTF-8, may hold subfolders) inside the folder.
    std::string File(const std::string& name) const { return Utf8(mPath / PathFromUtf8(name)); }

private:
    fs::path mPath;
};

// Writes bytes exactly as given (no line-end translation); a failed write
// fails the calling test.
void WriteBytes(const fs::path& path, const std::string& bytes);
// Every byte of the file; empty when it cannot be read.
std::string ReadBytes(const fs::path& path);
// UTF-8 names of the entries of folder, in directory order.
std::vector<std::string> ListNames(const fs::path& folder);
