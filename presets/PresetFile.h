#pragma once

// Preset files: a header line "Delay V1.0" and one line "param NAME VALUE" per
// stored parameter, VALUE the plain value with 12 decimals and "." as the
// decimal point whatever the locale.

#include <cstdio>
#include <functional>
#include <string>

class IPlugBase;
class IPlugParam;
class PresetName;

// What a preset load or save needs from the effect besides its plug-in base.
class PresetTarget
{
public:
    virtual ~PresetTarget() = default;

    virtual IPlugBase& Plugin() = 0;
    // Shows the current preset's name (the preset name control's text).
    virtual void ShowPresetName(const char* name) = 0;
    // Sets the value readout's text.
    virtual void SetReadoutText(const char* text) = 0;
    // Lets the output level fall to zero and rise again.
    virtual void RestartFadeIn() = 0;
    // Whether preset files leave the parameter out (a button that acts
    // rather than holds a setting). Unnamed parameters are always left out.
    virtual bool SkippedInPresetFiles(int paramIdx) const = 0;
};

constexpr int kPresetVersionMajor = 1;
constexpr int kPresetVersionMinor = 0;
// Longest parameter name a preset line can name; longer names match nothing.
constexpr int kPresetMaxName = 39;
// What the value readout shows after a save that failed.
constexpr const char* kPresetNotSaved = "Preset not saved";

// First parameter in index order whose name is non-empty and equal to name
// (case-sensitive); null or -1 when there is none.
IPlugParam* FindParamByName(IPlugBase& plug, const char* name);
int FindParamIndexByName(const IPlugBase& plug, const char* name);

// The file content for the target's current values, with "\n" line ends.
std::string FormatPresetText(PresetTarget& target);
// Appends a value as fixed-point text with 12 decimals and a "." separator.
void AppendPresetNumber(std::string& out, double value);

// Receives the lines of a preset file as they are read.
class PresetLineSink
{
public:
    virtual ~PresetLineSink() = default;
    // A line with a name of at most kPresetMaxName characters and a finite
    // value. Lines with longer names, names holding a zero byte, or
    // non-finite values are not reported.
    virtual void Value(const char* name, double value) = 0;
};

// Reads a preset file from its start. Returns false when the header does not
// match (no line is reported then). Blanks and line ends of any kind are
// interchangeable; reading stops at the end of the file or at the first line
// that is not "param", a name and a number.
bool ReadPresetStream(FILE* file, PresetLineSink& sink);

// Runs a save's file write, which may wait for the disk; an editor passes one
// that lets audio go on meanwhile. False when the save is to show nothing
// (the editor closed during the write).
using PresetWriteRunner = std::function<bool(const std::function<void()>& write)>;

// Writes the plug-in's values to path, replacing the file only once the new
// content is complete (the write through run, when given); then takes path
// as the current preset, shows its name and clears the value readout.
// Returns false when the path is empty (changing nothing) or the file cannot
// be written (changing nothing on disk or in the effect, but for
// kPresetNotSaved in the readout).
bool SavePresetFile(PresetTarget& target, PresetName& presetName, const char* path,
                    const PresetWriteRunner& run = {});

// Reads the file at path: when its header matches, every parameter first
// falls to its minimum and the lines then set values (clamped into range).
// Whether or not the header matched, every parameter's change handler runs,
// the name is shown, the editor is refreshed and the fade-in restarts.
// Returns false (and changes nothing) when the path is empty or the file
// cannot be opened.
bool LoadPresetFile(PresetTarget& target, PresetName& presetName, const char* path);
