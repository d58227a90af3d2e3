#pragma once

// Helpers shared by the preset tests: a plug-in whose parameter table has the
// effect's shape, an editor that counts, and a preset target that records.

#include "presets/PresetFile.h"
#include "tests/support/NoHostPlug.h"
#include "tests/support/ScratchDir.h"

#include <string>
#include <vector>

// 216 declared parameters plus two appended ones, named, ranged and
// defaulted like the delay's; index 216 stays unnamed and 217 is the unnamed
// placeholder.
class DelayShapedPlug : public NoHostPlug
{
public:
    DelayShapedPlug();

    void ParamChanged(int paramIdx) override { changed.push_back(paramIdx); }

    // A host at 120 BPM in 4/4, stopped.
    double HostTempo() override { return 120.0; }
    void HostTimeSignature(int& numerator, int& denominator) override
    {
        numerator = 4;
        denominator = 4;
    }
    void HostTransport(double& samplePos, double& tempo, double& ppqPos, double& barStart,
                       int& numerator, int& denominator, double& cycleStart, double& cycleEnd,
                       bool& playing, bool& cycling) override;

    double Value(const char* name);
    void SetValue(const char* name, double value);

    std::vector<int> changed;
};

// Counts what the editor is asked to do.
class CountingEditor : public IEditor
{
public:
    void PushParamToControls(int, double, bool) override { ++pushes; }
    void MarkAllControlsDirty() override { ++dirtyMarks; }
    int Width() const override { return 720; }
    int Height() const override { return 650; }
    void* OpenEditorWindow(void*) override { return nullptr; }
    void CloseEditorWindow() override {}

    int pushes = 0;
    int dirtyMarks = 0;
};

// True when the calling thread holds lock (another thread cannot take it).
bool HeldByThisThread(PlugLock& lock);

// Records the effect-side steps of loads and saves.
class TestTarget : public PresetTarget
{
public:
    IPlugBase& Plugin() override { return plug; }
    void ShowPresetName(const char* name) override { shownNames.push_back(name); }
    void SetReadoutText(const char* text) override { readouts.push_back(text); }
    // The plug-in's two momentary buttons, as the effect names them.
    bool SkippedInPresetFiles(int paramIdx) const override
    {
        return paramIdx == 184 || paramIdx == 215;
    }
    // The level smoother is the audio thread's: the restart must come under
    // the plug-in's lock.
    void RestartFadeIn() override
    {
        ++fadeRestarts;
        if (HeldByThisThread(plug.Lock())) ++lockedFadeRestarts;
    }

    DelayShapedPlug plug;
    std::vector<std::string> shownNames;
    std::vector<std::string> readouts;
    int fadeRestarts = 0;
    int lockedFadeRestarts = 0;
};

// Names of the stored parameters in file order.
std::vector<std::string> StoredParamNames();

class PresetFolder;

// Writes a preset file (with its folders) holding only the header.
void Touch(const fs::path& path);
// The display names of a folder's files, and the names of its sub-folders,
// in list order.
std::vector<std::string> DisplayNames(const PresetFolder& folder);
std::vector<std::string> FolderNames(const PresetFolder& folder);
