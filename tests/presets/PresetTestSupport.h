#pragma once

// Helpers shared by the preset tests: a scratch folder, UTF-8 path
// conversion, whole-file reads and writes, and a plug-in whose parameter
// table has the effect's shape.

#include "framework/IPlugBase.h"
#include "presets/PresetFile.h"

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path);
fs::path PathFromUtf8(const std::string& text);

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class ScratchDir
{
public:
    ScratchDir();
    ~ScratchDir();
    const fs::path& Path() const { return mPath; }
    std::string Utf8Path() const { return Utf8(mPath); }
    // UTF-8 path of name inside the folder.
    std::string File(const std::string& name) const { return Utf8(mPath / PathFromUtf8(name)); }

private:
    fs::path mPath;
};

// Writes bytes exactly as given (no line-end translation).
void WriteBytes(const fs::path& path, const std::string& bytes);
std::string ReadBytes(const fs::path& path);
std::vector<std::string> ListNames(const fs::path& folder);

// 216 declared parameters plus two appended ones, named, ranged and
// defaulted like the delay's; index 216 stays unnamed and 217 is the unnamed
// placeholder.
class TestPlug : public IPlugBase
{
public:
    TestPlug();

    void ParamChanged(int paramIdx) override { changed.push_back(paramIdx); }

    void BeginParameterEdit(int) override {}
    void AutomateParameter(int, double) override {}
    void EndParameterEdit(int) override {}
    int HostSamplePosition() override { return 0; }
    double HostTempo() override { return 120.0; }
    void HostTimeSignature(int& numerator, int& denominator) override
    {
        numerator = 4;
        denominator = 4;
    }
    void HostTransport(double& samplePos, double& tempo, double& ppqPos, double& barStart,
                       int& numerator, int& denominator, double& cycleStart, double& cycleEnd,
                       bool& playing, bool& cycling) override;
    void OnEditorResized(int, int) override {}
    void PrepareForHost() override {}
    bool SendMidiMessage(const MidiMessage&) override { return true; }
    bool SendMidiMessages(const MidiMessage*, int) override { return true; }

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
    // The level smoother is the audio thread's: the restart must come under
    // the plug-in's lock.
    void RestartFadeIn() override
    {
        ++fadeRestarts;
        if (HeldByThisThread(plug.Lock())) ++lockedFadeRestarts;
    }

    TestPlug plug;
    std::vector<std::string> shownNames;
    std::vector<std::string> readouts;
    int fadeRestarts = 0;
    int lockedFadeRestarts = 0;
};

// Names of the stored parameters in file order.
std::vector<std::string> StoredParamNames();
