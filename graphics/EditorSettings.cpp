#include "graphics/EditorSettings.h"

#include "platform/AtomicFile.h"
#include "platform/FileOpen.h"
#include "platform/UserFolder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

constexpr const char* kScaleKey = "editor-size";
constexpr size_t kMaxFileBytes = 64 * 1024;

// The file's lines; empty when it is missing, unreadable or too large to be
// this file.
std::string ReadAll(const std::string& path)
{
    std::string text;
    FILE* file = path.empty() ? nullptr : OpenRegularFileUtf8(path.c_str());
    if (!file) return text;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0 && text.size() <= kMaxFileBytes)
        text.append(chunk, n);
    const bool bad = std::ferror(file) != 0 || text.size() > kMaxFileBytes;
    std::fclose(file);
    return bad ? std::string() : text;
}

// The value of "key=value" when line is that key's line.
bool ValueOf(const std::string& line, const char* key, std::string& value)
{
    const size_t length = std::strlen(key);
    if (line.compare(0, length, key) != 0 || line.size() <= length || line[length] != '=')
        return false;
    value = line.substr(length + 1);
    while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
        value.pop_back();
    return true;
}

} // namespace

std::string EditorSettings::FilePath()
{
    const std::string folder = UserSettingsFolder("Zelbor", "zelbor");
    return folder.empty() ? folder : folder + "settings.ini";
}

int EditorSettings::RememberedScale()
{
    const std::string text = ReadAll(FilePath());
    size_t at = 0;
    while (at < text.size())
    {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string value;
        if (ValueOf(text.substr(at, end - at), kScaleKey, value))
        {
            char* stop = nullptr;
            const long percent = std::strtol(value.c_str(), &stop, 10);
            const bool whole = !value.empty() && stop && *stop == 0;
            return whole && percent >= 50 && percent <= 400 ? static_cast<int>(percent) : 0;
        }
        at = end + 1;
    }
    return 0;
}

bool EditorSettings::RememberScale(int percent)
{
    const std::string path = FilePath();
    if (path.empty() || !MakeFolders(path.substr(0, path.find_last_of("\\/") + 1))) return false;
    // Every other line stays; the size's line is replaced or added.
    const std::string old = ReadAll(path);
    std::string text;
    size_t at = 0;
    while (at < old.size())
    {
        size_t end = old.find('\n', at);
        if (end == std::string::npos) end = old.size();
        const std::string line = old.substr(at, end - at);
        std::string value;
        if (!line.empty() && !ValueOf(line, kScaleKey, value)) text += line + '\n';
        at = end + 1;
    }
    text += std::string(kScaleKey) + '=' + std::to_string(percent) + '\n';

    // Each writer has a temporary file of its own, so two instances saving
    // at once do not spoil each other's write.
    return WriteFileAtomically(path.c_str(), text.data(), text.size(), false);
}
