#include "framework/vst/IPlugVST.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace
{
// Fields of the host's time record that the full transport query wants.
constexpr VstInt32 kTransportMask =
    kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;

VstInt32 ArrangementTypeFor(int channels)
{
    switch (channels)
    {
    case 0:
        return kSpeakerArrEmpty;
    case 1:
        return kSpeakerArrMono;
    case 2:
        return kSpeakerArrStereo;
    default:
        return kSpeakerArrUserDefined;
    }
}

VstInt16 ToRectCoordinate(int v)
{
    return static_cast<VstInt16>(std::clamp(v, 0, static_cast<int>(INT16_MAX)));
}

// Host code sets for which the channel workarounds apply.
bool KeepsFirstChannelPair(int code)
{
    return code == 15 || code == 17 || code == 18 || code == 20;
}

bool NeedsStereoPair(int code)
{
    return code == 5 || code == 9 || KeepsFirstChannelPair(code);
}
} // namespace

IPlugVST::IPlugVST(audioMasterCallback hostCallback, int nParams, const char* channelIOStr,
                   int nPrograms, const char* effectName, const char* productName,
                   const char* vendorName, int vendorVersion, int uniqueID, int mfrID, int latency,
                   bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
    : IPlugBase(nParams, channelIOStr, nPrograms, effectName, productName, vendorName,
                vendorVersion, uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst),
      mHostCallback(hostCallback), mDoesMidi(plugDoesMidi)
{
    std::memset(&mAEffect, 0, sizeof(mAEffect));
    mAEffect.magic = kEffectMagic;
    mAEffect.dispatcher = &IPlugVST::VSTDispatcher;
    mAEffect.process = &IPlugVST::VSTProcess;
    mAEffect.setParameter = &IPlugVST::VSTSetParameter;
    mAEffect.getParameter = &IPlugVST::VSTGetParameter;
    mAEffect.numPrograms = nPrograms;
    mAEffect.numParams = DeclaredParams();
    mAEffect.numInputs = NInChannels();
    mAEffect.numOutputs = NOutChannels();

    VstInt32 flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    if (plugDoesChunks) flags |= effFlagsProgramChunks;
    if (LegalIO(1, -1)) flags |= effFlagsCanMono;
    if (plugIsInst) flags |= effFlagsIsSynth;
    mAEffect.flags = flags;

    mAEffect.initialDelay = latency;
    mAEffect.ioRatio = 1.0f;
    mAEffect.object = this;
    mAEffect.uniqueID = uniqueID;
    mAEffect.version = EffectVersion(true);
    mAEffect.processReplacing = &IPlugVST::VSTProcessReplacing;
    mAEffect.processDoubleReplacing = &IPlugVST::VSTProcessDoubleReplacing;

    std::memset(&mEditRect, 0, sizeof(mEditRect));
    std::memset(&mInputArrangement, 0, sizeof(mInputArrangement));
    std::memset(&mOutputArrangement, 0, sizeof(mOutputArrangement));
    mInputArrangement.numChannels = NInChannels();
    mInputArrangement.type = ArrangementTypeFor(NInChannels());
    mOutputArrangement.numChannels = NOutChannels();
    mOutputArrangement.type = ArrangementTypeFor(NOutChannels());

    ConnectInputs(0, NInChannels(), true);
    ConnectOutputs(0, NOutChannels(), true);
    // Not through the virtual slot: the effect is not constructed yet.
    IPlugBase::SetBlockLength(1024);
}

IPlugVST::~IPlugVST()
{
    // A record that outlives its object by mistake must not lead back here.
    mAEffect.object = nullptr;
}

IPlugVST* IPlugVST::FromEffect(AEffect* effect)
{
    if (!effect) return nullptr;
    return static_cast<IPlugVST*>(effect->object);
}

// --- Calls into the host --------------------------------------------------

VstIntPtr IPlugVST::HostCall(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr, float opt)
{
    if (!mHostCallback) return 0;
    return mHostCallback(&mAEffect, opCode, idx, value, ptr, opt);
}

const VstTimeInfo* IPlugVST::HostTime(VstInt32 mask)
{
    return reinterpret_cast<const VstTimeInfo*>(HostCall(audioMasterGetTime, 0, mask));
}

// Parameters past the declared ones (the effect's own placeholders) are
// invisible to the host: it is never told about them, since a host may index
// its own tables with the number.
bool IPlugVST::HostKnowsParam(int paramIdx) const
{
    return paramIdx >= 0 && paramIdx < DeclaredParams();
}

void IPlugVST::BeginParameterEdit(int paramIdx)
{
    if (HostKnowsParam(paramIdx))
    {
        HostCall(audioMasterBeginEdit, paramIdx);
    }
}

void IPlugVST::AutomateParameter(int paramIdx, double normalizedValue)
{
    if (HostKnowsParam(paramIdx))
    {
        HostCall(audioMasterAutomate, paramIdx, 0, nullptr, static_cast<float>(normalizedValue));
    }
}

void IPlugVST::EndParameterEdit(int paramIdx)
{
    if (HostKnowsParam(paramIdx))
    {
        HostCall(audioMasterEndEdit, paramIdx);
    }
}

bool IPlugVST::SendMidiMessage(const MidiMessage& msg)
{
    VstMidiEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = kVstMidiType;
    event.byteSize = static_cast<VstInt32>(sizeof(VstMidiEvent));
    event.deltaFrames = msg.offset;
    event.midiData[0] = static_cast<char>(msg.status);
    event.midiData[1] = static_cast<char>(msg.data1);
    event.midiData[2] = static_cast<char>(msg.data2);

    VstEvents events;
    std::memset(&events, 0, sizeof(events));
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    return HostCall(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPlugVST::SendMidiMessages(const MidiMessage* msgs, int count)
{
    if (count <= 0) return true;
    if (!msgs) return false;
    bool all = true;
    for (int i = 0; i < count; ++i)
        all = SendMidiMessage(msgs[i]) && all;
    return all;
}

bool IPlugVST::ForwardEventToHost(VstEvent* event)
{
    VstEvents events;
    std::memset(&events, 0, sizeof(events));
    events.numEvents = 1;
    events.events[0] = event;
    return HostCall(audioMasterProcessEvents, 0, 0, &events) == 1;
}

// --- Transport --------------------------------------------------------------

namespace
{

// The three block-time answers from one time record (null: none given).
int PositionIn(const VstTimeInfo* info)
{
    if (!info || !(info->samplePos >= 0.0)) return 0;
    // Rounded to the nearest sample; positions past the 32-bit range saturate.
    const double rounded = info->samplePos + 0.5;
    if (rounded >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(rounded);
}

double TempoIn(const VstTimeInfo* info)
{
    if (info && (info->flags & kVstTempoValid) && info->tempo >= 0.0 && std::isfinite(info->tempo))
        return info->tempo;
    return 0.0;
}

void SignatureIn(const VstTimeInfo* info, int& numerator, int& denominator)
{
    numerator = 0;
    denominator = 0;
    if (info && (info->flags & kVstTimeSigValid) && info->timeSigNumerator >= 0 &&
        info->timeSigDenominator >= 0)
    {
        numerator = info->timeSigNumerator;
        denominator = info->timeSigDenominator;
    }
}

} // namespace

int IPlugVST::HostSamplePosition()
{
    return PositionIn(HostTime(0));
}

double IPlugVST::HostTempo()
{
    return TempoIn(HostTime(kVstTempoValid));
}

void IPlugVST::HostTimeSignature(int& numerator, int& denominator)
{
    SignatureIn(HostTime(kVstTimeSigValid), numerator, denominator);
}

HostBlockTime IPlugVST::HostTimeForBlock()
{
    const VstTimeInfo* info = HostTime(kVstTempoValid | kVstTimeSigValid);
    HostBlockTime t;
    t.tempo = TempoIn(info);
    SignatureIn(info, t.numerator, t.denominator);
    t.samplePosition = PositionIn(info);
    return t;
}

void IPlugVST::HostTransport(double& samplePos, double& tempo, double& ppqPos, double& barStart,
                             int& numerator, int& denominator, double& cycleStart, double& cycleEnd,
                             bool& playing, bool& cycling)
{
    samplePos = -1.0;
    tempo = 120.0;
    ppqPos = -1.0;
    barStart = -1.0;
    numerator = 4;
    denominator = 4;
    cycleStart = -1.0;
    cycleEnd = -1.0;

    const VstTimeInfo* info = HostTime(kTransportMask);
    if (!info || !(info->flags & kTransportMask)) return;
    const VstInt32 flags = info->flags;
    samplePos = info->samplePos;
    if ((flags & kVstPpqPosValid) && info->ppqPos >= 0.0) ppqPos = info->ppqPos;
    if ((flags & kVstTempoValid) && info->tempo > 0.0 && std::isfinite(info->tempo))
        tempo = info->tempo;
    if ((flags & kVstBarsValid) && info->barStartPos >= 0.0) barStart = info->barStartPos;
    if ((flags & kVstCyclePosValid) && info->cycleStartPos >= 0.0 && info->cycleEndPos >= 0.0)
    {
        cycleStart = info->cycleStartPos;
        cycleEnd = info->cycleEndPos;
    }
    if ((flags & kVstTimeSigValid) && info->timeSigNumerator > 0 && info->timeSigDenominator > 0)
    {
        numerator = info->timeSigNumerator;
        denominator = info->timeSigDenominator;
    }
    playing = (flags & kVstTransportPlaying) != 0;
    cycling = (flags & kVstTransportCycleActive) != 0;
}

bool IPlugVST::HostTransportPlaying()
{
    const VstTimeInfo* info = HostTime(kTransportMask);
    if (!info || !(info->flags & kTransportMask))
        return true; // a host that tells nothing counts as playing
    return (info->flags & kVstTransportPlaying) != 0;
}

// --- Host identification and set-up ----------------------------------------

int IPlugVST::IdentifyHost()
{
    PlugLockGuard guard(Lock());
    if (HostCode() != -1) return HostCode();

    char product[kVstHostProductBytes];
    std::memset(product, 0, sizeof(product));
    HostCall(audioMasterGetProductString, 0, 0, product);
    product[sizeof(product) - 1] = 0; // a host that fills the buffer leaves no terminator

    int version = 0;
    if (product[0])
    {
        // Decimal major * 10000 + minor * 100 + patch, packed as
        // major << 16 | minor << 8 | patch.
        const long long v = static_cast<VstInt32>(HostCall(audioMasterGetVendorVersion));
        const long long packed = v + (v / 10000) * 55536 + ((v % 10000) / 100) * 156;
        version = static_cast<int>(static_cast<VstInt32>(packed));
    }
    SetHost(product, version);
    return HostCode();
}

void IPlugVST::PrepareForHost()
{
    PlugLockGuard guard(Lock());
    if (mHostSpecificInitDone) return;
    mHostSpecificInitDone = true;

    const int code = IdentifyHost();
    if (KeepsFirstChannelPair(code)) KeepFirstChannelPair();
    if (NeedsStereoPair(code)) EnsureStereoPair();
    SyncChannelCounts();
}

void IPlugVST::SyncChannelCounts()
{
    mInputArrangement.numChannels = NInChannels();
    mOutputArrangement.numChannels = NOutChannels();
    mAEffect.numInputs = NInChannels();
    mAEffect.numOutputs = NOutChannels();
}

// --- Editor and latency -----------------------------------------------------

void IPlugVST::SetEditRectFromEditor()
{
    const IEditor* editor = GetEditor();
    if (!editor) return;
    mEditRect.top = 0;
    mEditRect.left = 0;
    mEditRect.bottom = ToRectCoordinate(editor->HostHeight());
    mEditRect.right = ToRectCoordinate(editor->HostWidth());
}

void IPlugVST::AttachEditor(IEditor* editor)
{
    if (!editor) return;
    PlugLockGuard guard(Lock());
    IPlugBase::AttachEditor(editor);
    // Only an editor that can open a window is offered to the host.
    if (editor->CanOpenWindow()) mAEffect.flags |= effFlagsHasEditor;
    SetEditRectFromEditor();
}

void IPlugVST::OnEditorResized(int width, int height)
{
    SetEditRectFromEditor();
    // A host that cannot resize its frame answers 0; the editor's window is
    // sized all the same.
    HostCall(audioMasterSizeWindow, width, height);
}

void IPlugVST::SetLatencySamples(int frames)
{
    mAEffect.initialDelay = frames;
    IPlugBase::SetLatencySamples(frames);
}

// --- Audio and parameter callbacks -----------------------------------------

template <typename Sample>
void IPlugVST::ProcessFromHost(AEffect* effect, Sample** inputs, Sample** outputs, VstInt32 nFrames,
                               bool accumulate)
{
    IPlugVST* plug = FromEffect(effect);
    if (!plug) return;
    try
    {
        PlugLockGuard guard(plug->Lock());
        if (plug->mDoesMidi) plug->HostCall(audioMasterWantMidi);
        if constexpr (std::is_same_v<Sample, float>)
        {
            if (accumulate)
            {
                plug->RunBlockAccumulating(inputs, outputs, nFrames);
                return;
            }
        }
        plug->RunBlock(inputs, outputs, nFrames);
    }
    catch (...)
    {
        // Nothing may unwind into the host.
    }
}

void IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames)
{
    ProcessFromHost(effect, inputs, outputs, nFrames, true);
}

void IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                   VstInt32 nFrames)
{
    ProcessFromHost(effect, inputs, outputs, nFrames, false);
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                         VstInt32 nFrames)
{
    ProcessFromHost(effect, inputs, outputs, nFrames, false);
}

float IPlugVST::VSTGetParameter(AEffect* effect, VstInt32 idx)
{
    IPlugVST* plug = FromEffect(effect);
    if (!plug) return 0.0f;
    PlugLockGuard guard(plug->Lock());
    const IPlugParam* param = plug->GetParam(idx);
    if (!param) return 0.0f;
    // A button that acts reads as released, as a state chunk stores it: a
    // host that saves the parameter list must not press it again on loading.
    if (param->IsMomentary()) return 0.0f;
    return static_cast<float>(param->ToNormalized());
}

void IPlugVST::VSTSetParameter(AEffect* effect, VstInt32 idx, float value)
{
    IPlugVST* plug = FromEffect(effect);
    if (!plug) return;
    // Host values outside 0..1 are clamped; NaN changes nothing.
    if (std::isnan(value)) return;
    const double normalized = std::clamp(static_cast<double>(value), 0.0, 1.0);
    try
    {
        PlugLockGuard guard(plug->Lock());
        IPlugParam* param = plug->GetParam(idx);
        if (!param) return;
        if (IEditor* editor = plug->GetEditor()) editor->PushParamToControls(idx, normalized, true);
        param->SetFromNormalized(normalized);
        plug->ParamChanged(idx);
    }
    catch (...)
    {
    }
}
