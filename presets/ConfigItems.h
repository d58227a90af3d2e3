#pragma once

#include <memory>
#include <string>
#include <vector>

// One configuration entry: the key the file uses, its text (the file's value
// or the built-in default) and that text read as a decimal integer.
struct ConfigItem
{
    std::string key;
    std::string text;
    double number = 0.0; // 0 until the file sets the entry
};

// The effect's configuration entries, addressed by position. A new list holds
// the built-in entries with their default texts.
class ConfigItems
{
public:
    enum Entry
    {
        PresetFolder = 0, // root of the preset tree and start of the file dialogs
        EntryCount
    };

    ConfigItems();

    int Count() const { return static_cast<int>(mItems.size()); }
    // Entry at a position, or null outside the list.
    ConfigItem* Item(int index);
    const ConfigItem* Item(int index) const;
    // Text of an entry, or "" outside the list.
    const char* Text(int index) const;
    // First entry whose key equals key exactly (case-sensitive), or null.
    ConfigItem* Find(const char* key);

private:
    std::vector<std::unique_ptr<ConfigItem>> mItems;
};

// Name of the configuration file, kept in the plug-in module's folder.
constexpr const char* kConfigFileName = "Zelbor.ini";
// Longest configuration path, in characters.
constexpr int kMaxConfigPath = 1024;

// Full path of the configuration file beside the module whose full file name
// is modulePath; "" when it cannot be formed (no module path, no folder in it,
// or a result longer than kMaxConfigPath).
std::string ConfigFilePath(const char* modulePath);
// Full path of the configuration file beside this plug-in module.
std::string ConfigFilePath();

// The folder a configuration entry names, as a path to open: folder itself
// when it is empty or absolute, otherwise folder taken relative to the folder
// that holds the configuration file at configPath (which sits beside the
// module, so "Zelbor Presets" names the folder beside the module).
std::string ResolveConfigFolder(const char* folder, const char* configPath);

// Reads the configuration file at path into the entries. Keys that match no
// entry are ignored; when a key appears on several lines the last one wins. A
// missing or unreadable file leaves every entry as it was.
void ReadConfiguration(ConfigItems& items, const char* path);

// Leading blanks and a sign allowed, stopping at the first non-digit; 0 when
// there are no digits.
double ParseConfigNumber(const char* text);
