#pragma once

#include <string>

// The current preset: its display name and the full path of the file that
// was last loaded or saved.
class PresetName
{
public:
    static constexpr int kMaxName = 262;

    // Takes path as the current file: the name becomes the part after the last
    // "/", "\" or ":", cut at its last "." unless that "." is its first
    // character. Handing back the stored path itself changes nothing.
    void SetFromPath(const char* path);
    // Keeps the name but no path: "Save" then asks where to save.
    void ForgetPath();

    const char* Name() const { return mName; }
    bool HasPath() const { return mHasPath; }
    // The stored path, or "" when there is none.
    const char* Path() const { return mPath.c_str(); }

private:
    char mName[kMaxName + 1] = {};
    std::string mPath;
    bool mHasPath = false;
};
