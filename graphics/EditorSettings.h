#pragma once

#include <string>

// What the editor remembers for its user across projects and hosts, in a
// small file of the plug-in's own: "settings.ini" in the user's settings
// folder (Windows: %APPDATA%\Zelbor\, elsewhere $XDG_CONFIG_HOME/zelbor/ or
// ~/.config/zelbor/), lines of "key=value". Never the module's folder (often
// read-only) and never the state chunk (stored per project by the host). A
// missing or unreadable file means nothing is remembered.
class EditorSettings
{
public:
    // The file's path; empty when the user's settings folder is unknown.
    static std::string FilePath();
    // The remembered editor size in percent; 0 when there is none.
    static int RememberedScale();
    // Remembers the size: the file is written anew with this value and every
    // other line it had, and replaces the old one in one step. False when it
    // could not be written; the old file is then left as it was.
    static bool RememberScale(int percent);
};
