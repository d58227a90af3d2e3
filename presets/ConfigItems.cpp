#include "presets/ConfigItems.h"

#include "platform/FileOpen.h"
#include "platform/ModulePath.h"
#include "platform/PathSeparator.h"
#include "presets/ConfigurationFileReader.h"

#include <cstring>

namespace
{
struct ConfigDefault
{
    const char* key;
    const char* text;
};

// Built-in entries, in position order.
constexpr ConfigDefault kConfigDefaults[ConfigItems::EntryCount] = {
    {"PresetFolder", ""},
};
} // namespace

ConfigItems::ConfigItems()
{
    for (const ConfigDefault& row : kConfigDefaults)
    {
        auto item = std::make_unique<ConfigItem>();
        item->key = row.key;
        item->text = row.text;
        mItems.push_back(std::move(item));
    }
}

ConfigItem* ConfigItems::Item(int index)
{
    return index >= 0 && index < Count() ? mItems[static_cast<size_t>(index)].get() : nullptr;
}

const ConfigItem* ConfigItems::Item(int index) const
{
    return index >= 0 && index < Count() ? mItems[static_cast<size_t>(index)].get() : nullptr;
}

const char* ConfigItems::Text(int index) const
{
    const ConfigItem* item = Item(index);
    return item ? item->text.c_str() : "";
}

ConfigItem* ConfigItems::Find(const char* key)
{
    for (auto& item : mItems)
        if (item->key == key) return item.get();
    return nullptr;
}

std::string ConfigFilePath(const char* modulePath)
{
    if (!modulePath) return {};
    size_t length = std::strlen(modulePath);
    if (length == 0 || length > static_cast<size_t>(kMaxConfigPath)) return {};
    size_t cut = length;
    while (cut > 0 && !IsFolderSeparator(modulePath[cut - 1]))
        --cut;
    if (cut == 0) return {};
    size_t folderLength = cut - 1; // without the separator
    if (folderLength + std::strlen(kConfigFileName) + 1 > static_cast<size_t>(kMaxConfigPath))
        return {};
    std::string path(modulePath, folderLength);
    path += kPathSeparator;
    path += kConfigFileName;
    return path;
}

std::string ConfigFilePath()
{
    return ConfigFilePath(ModuleFilePath().c_str());
}

std::string ResolveConfigFolder(const char* folder, const char* configPath)
{
    if (!folder || !*folder || IsAbsolutePath(folder) || !configPath) return folder ? folder : "";
    size_t cut = std::strlen(configPath);
    while (cut > 0 && !IsFolderSeparator(configPath[cut - 1]))
        --cut;
    if (cut == 0) return folder; // no folder to resolve against
    return std::string(configPath, cut) + folder;
}

double ParseConfigNumber(const char* text)
{
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' ||
           *text == '\r')
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    double number = 0.0;
    for (; *text >= '0' && *text <= '9'; ++text)
        number = number * 10.0 + (*text - '0');
    return negative ? -number : number;
}

void ReadConfiguration(ConfigItems& items, const char* path)
{
    if (!path || !*path) return;
    // Binary mode: the reader drops carriage returns itself, and a stray
    // Ctrl-Z byte does not end the file early. Only a regular file, so that
    // a pipe in its place cannot hold up the effect's creation.
    ConfigurationFileReader reader(OpenRegularFileUtf8(path));
    while (reader.NextEntry())
    {
        if (ConfigItem* item = items.Find(reader.Key()))
        {
            item->text = reader.Value();
            item->number = ParseConfigNumber(reader.Value());
        }
    }
}
