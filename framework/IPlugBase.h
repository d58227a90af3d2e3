#pragma once

#include "framework/Channels.h"
#include "framework/IEditor.h"
#include "framework/IPlugParam.h"
#include "framework/IPlugProgram.h"
#include "framework/MidiMessage.h"
#include "framework/StateChunk.h"
#include "platform/PlugLock.h"

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <vector>

// Magic number and version at the start of a state chunk ("tffp", 1.0).
constexpr int32_t kProgramChunkMagic = 0x70666674;
constexpr int32_t kProgramChunkVersion = 0x00010000;

// The host's tempo (0 when it gives none), time signature (0/0 when it gives
// none) and sample position (rounded, 0 when unknown).
struct HostBlockTime
{
    double tempo = 0.0;
    int numerator = 0;
    int denominator = 0;
    int samplePosition = 0;
};

// Host-independent core of the plug-in: parameters, programs, identity, state
// serialisation and the audio frame. A host binding derives from it and
// supplies the host-facing operations; the effect derives from the binding.
class IPlugBase
{
public:
    static constexpr int kNameSize = 128; // identity texts, terminating zero included

    // channelIOStr: space-separated "in-out" pairs, e.g. "1-1 2-2".
    // vendorVersion is packed: major << 16 | minor << 8 | patch.
    // plugDoesMidi is kept for the binding's use only.
    IPlugBase(int nParams, const char* channelIOStr, int nPrograms, const char* effectName,
              const char* productName, const char* vendorName, int vendorVersion, int uniqueID,
              int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);
    virtual ~IPlugBase();

    IPlugBase(const IPlugBase&) = delete;
    IPlugBase& operator=(const IPlugBase&) = delete;

    // --- Virtual slots ------------------------------------------------------

    // Called after a sample rate, block length or processing state change.
    virtual void ResetEngine();
    // Called after every change of parameter paramIdx.
    virtual void ParamChanged(int paramIdx);
    // One block of 64-bit audio. inputs/outputs hold NInChannels() and
    // NOutChannels() pointers (null when there are none). The base copies
    // input i to output i and zeroes the remaining outputs.
    virtual void ProcessBlock(double** inputs, double** outputs, int nFrames);
    virtual void OnEditorOpened() {}
    virtual void OnEditorClosed() {}
    virtual void OnMainsChanged(bool active);
    // Base: MIDI through (SendMidiMessage).
    virtual void HandleMidiMessage(const MidiMessage& msg);
    // Base: empties name (if not null), returns false.
    virtual bool GetMidiKeyName(int key, char* name);
    // Base: the declared parameters' values.
    virtual bool WriteState(StateChunk& chunk);
    // Base: reads the declared parameters' values; returns the end position
    // or -1 when the chunk ended early.
    virtual int ReadState(const StateChunk& chunk, int startPos);
    // Appends one argument per parameter of the list, as doubles: an int is
    // taken for switch, integer and enum parameters, a double otherwise.
    virtual void WriteArgumentValues(StateChunk& chunk, va_list args);
    // Variadic form of WriteArgumentValues. The chunk comes by pointer: the
    // argument before the variable ones may not be a reference.
    void WriteArguments(StateChunk* chunk, ...);

    // Host-facing operations, supplied by the binding.
    virtual void BeginParameterEdit(int paramIdx) = 0;
    virtual void AutomateParameter(int paramIdx, double normalizedValue) = 0;
    virtual void EndParameterEdit(int paramIdx) = 0;
    virtual int HostSamplePosition() = 0;
    virtual double HostTempo() = 0;
    virtual void HostTimeSignature(int& numerator, int& denominator) = 0;
    // What a block needs of the host's time: the answers of HostTempo,
    // HostTimeSignature and HostSamplePosition. Base: the three questions;
    // a binding answers all of them from one.
    virtual HostBlockTime HostTimeForBlock();
    virtual void HostTransport(double& samplePos, double& tempo, double& ppqPos, double& barStart,
                               int& numerator, int& denominator, double& cycleStart,
                               double& cycleEnd, bool& playing, bool& cycling) = 0;
    // Base: the stored host code (-1 until the host has been identified).
    virtual int IdentifyHost();
    virtual void OnEditorResized(int width, int height) = 0;
    virtual void PrepareForHost() = 0;
    // Takes ownership. Pushes every parameter's normalised value into the
    // editor, lets it create its back buffer and stores it. Null is ignored.
    virtual void AttachEditor(IEditor* editor);
    // Resizes and zeroes the channels' scratch buffers when frames differs
    // from the current block length. A negative length counts as 0.
    virtual void SetBlockLength(int frames);
    virtual void SetLatencySamples(int frames);
    virtual bool SendMidiMessage(const MidiMessage& msg) = 0;
    // True when every message was sent (also for an empty list).
    virtual bool SendMidiMessages(const MidiMessage* msgs, int count) = 0;

    // --- Parameters ---------------------------------------------------------

    int NParams() const { return static_cast<int>(mParams.size()); }
    // The declared count given at construction (what hosts and state see).
    int DeclaredParams() const { return mDeclaredParams; }
    // Null outside 0 .. NParams() - 1.
    IPlugParam* GetParam(int idx);
    const IPlugParam* GetParam(int idx) const;
    // Appends a fresh parameter after the existing ones; it counts for
    // NParams() but not for DeclaredParams().
    IPlugParam* AddParam();

    // Editor change: sets the parameter, tells the host, then ParamChanged.
    // Invalid indices and NaN are ignored; the value is clamped to 0..1.
    void SetParameterFromGUI(int paramIdx, double normalizedValue);
    void NotifyAllParamsChanged();
    // Pushes every parameter's plain value into the attached editor.
    void PushParamsToEditor();

    // --- State --------------------------------------------------------------

    // Appends the declared parameters' plain values (all of the list when
    // all is set).
    bool WriteParamsToChunk(StateChunk& chunk, bool all = false);
    // Reads plain values from pos on, clamped into each range; values that
    // are not finite numbers are skipped. Returns the end position or -1.
    int UnserializeParams(const StateChunk& chunk, int startPos, bool all = false);
    // Empties the chunk and writes the magic number and version.
    void StartStateChunk(StateChunk& chunk);
    // When the chunk has a header at pos, moves pos past it and returns its
    // version; otherwise returns 0 and leaves pos.
    int ReadStateChunkVersion(const StateChunk& chunk, int& pos);

    // --- Programs -----------------------------------------------------------

    int NPrograms() const { return static_cast<int>(mPrograms.size()); }
    int CurrentProgram() const { return mCurrentProgram; }
    IPlugProgram* GetProgram(int idx);
    // The program's name, or "" outside the list.
    const char* GetProgramName(int idx) const;
    // With no programs at all: one program named "Default" with the current values.
    void EnsureDefaultProgram();
    // Selects a program: an initialised one is read back, a fresh one takes
    // the current values and the next user-preset name.
    bool RestoreProgram(int idx);
    // Stores the current values (and the name, when given and not empty) into
    // the current program.
    void StoreCurrentProgram(const char* name = nullptr);
    // "user preset N", N one more than the programs whose names contain
    // "user preset".
    void NextUserProgramName(char* name, int size = IPlugProgram::kNameSize) const;

    // --- Identity -----------------------------------------------------------

    const char* EffectName() const { return mEffectName; }
    const char* ProductName() const { return mProductName; }
    const char* VendorName() const { return mVendorName; }
    int UniqueID() const { return mUniqueID; }
    int MfrID() const { return mMfrID; }
    int VendorVersion() const { return mVendorVersion; }
    // The packed vendor version, or (major * 100 + minor) * 100 + patch.
    int EffectVersion(bool decimal) const;
    bool ChunksFlag() const { return mChunks; }
    bool InstrumentFlag() const { return mInstrument; }
    bool MidiFlag() const { return mMidi; }

    int HostCode() const { return mHostCode; }
    int HostVersion() const { return mHostVersion; }
    // Maps the product name to a host code by case-insensitive substring
    // matching and stores it with the packed version.
    void SetHost(const char* name, int version);
    // Host code for a product name (0 when not recognised).
    static int HostCodeForName(const char* name);

    // --- Audio frame --------------------------------------------------------

    double SampleRate() const { return mSampleRate; }
    // Ignores rates that are not finite and positive.
    void SetSampleRate(double rate);
    int BlockLength() const { return mBlockLength; }
    int Latency() const { return mLatency; }

    int NInChannels() const { return static_cast<int>(mInChannels.size()); }
    int NOutChannels() const { return static_cast<int>(mOutChannels.size()); }
    bool IsInChannelConnected(int idx) const;
    bool IsOutChannelConnected(int idx) const;
    int NChannelPairs() const { return static_cast<int>(mChannelPairs.size()); }
    const ChannelPair* GetChannelPair(int idx) const;
    // True when some pair matches; a negative count matches any.
    bool LegalIO(int nIn, int nOut) const;

    // Replaces the channels with nIn inputs and nOut outputs, disconnected,
    // with scratch buffers of the current block length.
    void CreateChannels(int nIn, int nOut);
    // Sets the connected flag of channels first .. first + count - 1; indices
    // past the channel count are ignored.
    void ConnectInputs(int first, int count, bool connected);
    void ConnectOutputs(int first, int count, bool connected);
    // Host workarounds: disconnect inputs (and connect outputs) beyond the
    // first two; give a plug-in without channels one stereo pair.
    void KeepFirstChannelPair();
    void EnsureStereoPair();

    // Binding of host buffers for one block of at most BlockLength() frames
    // (longer blocks are cut to that length). Connected channels take the
    // host's buffers in order.
    void BindInputBuffers(float** inputs, int nFrames);
    void BindInputBuffers(double** inputs, int nFrames);
    void BindOutputBuffers(float** outputs, int nFrames);
    void BindOutputBuffers(double** outputs, int nFrames);

    // Complete block runs under the lock: bind, ProcessBlock, and for the
    // 32-bit forms convert back into the host's buffers (replacing, or
    // adding to what they hold). A host block longer than BlockLength() is
    // processed as consecutive sub-blocks. Zero or negative frame counts do
    // nothing; with no block length set the replacing forms write silence.
    void RunBlock(float** inputs, float** outputs, int nFrames);
    void RunBlock(double** inputs, double** outputs, int nFrames);
    void RunBlockAccumulating(float** inputs, float** outputs, int nFrames);

    // The channel data pointers that ProcessBlock receives.
    double** InputData() { return mInData.empty() ? nullptr : mInData.data(); }
    double** OutputData() { return mOutData.empty() ? nullptr : mOutData.data(); }

    // --- Editor and lock ----------------------------------------------------

    IEditor* GetEditor() const { return mEditor.get(); }
    PlugLock& Lock() { return mLock; }

protected:
    void SetHostCode(int code) { mHostCode = code; }

private:
    std::vector<std::unique_ptr<IPlugParam>> mParams;
    std::vector<std::unique_ptr<IPlugProgram>> mPrograms;
    std::vector<ChannelPair> mChannelPairs;
    char mEffectName[kNameSize];
    char mProductName[kNameSize];
    char mVendorName[kNameSize];
    int mUniqueID;
    int mMfrID;
    int mVendorVersion;
    int mHostCode = -1;
    int mHostVersion = 0;
    bool mChunks;
    bool mInstrument;
    bool mMidi;
    double mSampleRate = 44100.0;
    int mBlockLength = 0;
    int mLatency;
    std::unique_ptr<IEditor> mEditor;
    int mCurrentProgram = 0;
    std::vector<double*> mInData;
    std::vector<double*> mOutData;
    std::vector<InputChannel> mInChannels;
    std::vector<OutputChannel> mOutChannels;
    PlugLock mLock;
    int mDeclaredParams;

    void ParseChannelIO(const char* channelIOStr);
    void ResizeScratch(int frames);
    template <typename Sample> void BindInputs(Sample** inputs, int offset, int nFrames);
    template <typename Sample> void BindOutputs(Sample** outputs, int offset);
    void WriteOutputs32(int nFrames, bool accumulate);
    template <typename Sample>
    void RunHostBlock(Sample** inputs, Sample** outputs, int nFrames, bool accumulate);
    // Zeroes the connected host outputs (float or double) when no block can run
    template <typename Sample> void SilenceOutputs(Sample** outputs, int nFrames);
};
