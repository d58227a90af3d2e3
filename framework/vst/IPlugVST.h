#pragma once

#include "framework/IPlugBase.h"
#include "framework/vst/VstAbi.h"

// Binds the plug-in base to a VST 2 host: owns the effect record the host
// receives, translates the host's callbacks into base operations and makes
// every call back into the host. The effect derives from this class.
class IPlugVST : public IPlugBase
{
public:
    // hostCallback may be null (tools and tests); every host call then
    // answers 0 and the transport queries give their defaults.
    IPlugVST(audioMasterCallback hostCallback, int nParams, const char* channelIOStr, int nPrograms,
             const char* effectName, const char* productName, const char* vendorName,
             int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
             bool plugDoesChunks, bool plugIsInst);
    ~IPlugVST() override;

    // The record handed to the host; its object field points back here.
    AEffect* GetAEffect() { return &mAEffect; }
    // The plug-in behind a record, or null.
    static IPlugVST* FromEffect(AEffect* effect);

    // --- Host-facing slots of the base --------------------------------------

    void BeginParameterEdit(int paramIdx) override;
    void AutomateParameter(int paramIdx, double normalizedValue) override;
    void EndParameterEdit(int paramIdx) override;
    // Whether the host was told about the parameter (a declared one).
    bool HostKnowsParam(int paramIdx) const;
    // Rounded host sample position; 0 when the host tells none.
    int HostSamplePosition() override;
    // Host tempo in beats per minute; 0 when the host tells none.
    double HostTempo() override;
    // Both 0 unless the host tells its time signature.
    void HostTimeSignature(int& numerator, int& denominator) override;
    // One time query with the tempo and signature flags.
    HostBlockTime HostTimeForBlock() override;
    // Defaults: position -1, tempo 120, musical position -1, bar start -1,
    // 4/4, cycle -1..-1; playing and cycling are written only when the host
    // answers with at least one of the requested fields.
    void HostTransport(double& samplePos, double& tempo, double& ppqPos, double& barStart,
                       int& numerator, int& denominator, double& cycleStart, double& cycleEnd,
                       bool& playing, bool& cycling) override;
    // Asks the host for its product name and version once, then answers the
    // stored host code.
    int IdentifyHost() override;
    void OnEditorResized(int width, int height) override;
    // Host-specific channel set-up; runs once per instance.
    void PrepareForHost() override;
    void AttachEditor(IEditor* editor) override;
    void SetLatencySamples(int frames) override;
    bool SendMidiMessage(const MidiMessage& msg) override;
    bool SendMidiMessages(const MidiMessage* msgs, int count) override;

    // True when the host reports its transport running, or tells nothing.
    bool HostTransportPlaying();
    // Hands one event unchanged to the host; true when the host accepts it.
    bool ForwardEventToHost(VstEvent* event);

    // --- What the host reads ------------------------------------------------

    const ERect& EditRect() const { return mEditRect; }
    const VstSpeakerArrangement& InputArrangement() const { return mInputArrangement; }
    const VstSpeakerArrangement& OutputArrangement() const { return mOutputArrangement; }
    audioMasterCallback HostCallback() const { return mHostCallback; }

    // --- Record callbacks -----------------------------------------------------

    static VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opCode, VstInt32 idx,
                                               VstIntPtr value, void* ptr, float opt);
    static void VSTCALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs,
                                       VstInt32 nFrames);
    static void VSTCALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                                VstInt32 nFrames);
    static void VSTCALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs,
                                                      double** outputs, VstInt32 nFrames);
    static float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 idx);
    static void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 idx, float value);

private:
    ERect mEditRect{};
    audioMasterCallback mHostCallback;
    VstSpeakerArrangement mInputArrangement{};
    VstSpeakerArrangement mOutputArrangement{};
    bool mHostSpecificInitDone = false;
    bool mDoesMidi;
    StateChunk mProgramState; // what effGetChunk hands out for one program
    StateChunk mBankState;    // ... and for the bank
    AEffect mAEffect{};

    VstIntPtr HostCall(VstInt32 opCode, VstInt32 idx = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    // The host's time record for the wanted fields, or null.
    const VstTimeInfo* HostTime(VstInt32 mask);
    void SetEditRectFromEditor();
    void SyncChannelCounts();

    // Opcode handlers that need more than a line.
    VstIntPtr DispatchOpcode(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr, float opt);
    VstIntPtr GetChunk(VstInt32 idx, void* ptr);
    VstIntPtr SetChunk(VstInt32 idx, VstIntPtr size, void* ptr);
    VstIntPtr ProcessEvents(const VstEvents* events);
    VstIntPtr CanDo(const char* text) const;
    VstIntPtr PinProperties(VstInt32 idx, void* ptr, bool input) const;
    VstIntPtr SetSpeakerArrangement(VstIntPtr inputArr, void* outputArr);
    // The three process callbacks: one block under the lock, adding into
    // (32-bit accumulating only) or replacing the host's outputs.
    template <typename Sample>
    static void ProcessFromHost(AEffect* effect, Sample** inputs, Sample** outputs,
                                VstInt32 nFrames, bool accumulate);
};
