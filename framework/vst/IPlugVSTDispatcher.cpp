// The dispatcher callback of the effect record: every host request other
// than audio and single parameter access, translated into base operations.

#include "framework/BoundedText.h"
#include "framework/vst/IPlugVST.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace
{
// Host block sizes above this are processed in sub-blocks of this length
// instead of sizing the scratch buffers to whatever the host announces.
constexpr VstIntPtr kMaxBlockLength = 1 << 20;

// Copies text into a host buffer of at most bytes bytes, always terminated.
void CopyToHost(void* dest, const char* text, std::size_t bytes)
{
    if (!dest || bytes == 0) return;
    CopyBoundedText(static_cast<char*>(dest), text, bytes);
}

// A host text of at most maxChars characters, read no further than that.
void CopyFromHost(char* dest, const void* src, std::size_t maxChars)
{
    CopyBoundedText(dest, static_cast<const char*>(src), maxChars + 1);
}

// The attached editor when it can open a window in the host's; the editor
// opcodes know no other.
IEditor* WindowEditor(const IPlugBase& plug)
{
    IEditor* editor = plug.GetEditor();
    return editor && editor->CanOpenWindow() ? editor : nullptr;
}

// An index operand passed in a pointer-sized value; -1 when out of range.
int IndexFromValue(VstIntPtr value)
{
    if (value < 0 || value > INT_MAX) return -1;
    return static_cast<int>(value);
}
} // namespace

VstIntPtr IPlugVST::VSTDispatcher(AEffect* effect, VstInt32 opCode, VstInt32 idx, VstIntPtr value,
                                  void* ptr, float opt)
{
    IPlugVST* plug = FromEffect(effect);
    if (!plug) return 0;

    if (opCode == effClose)
    {
        {
            // Waits for any call still running on another thread. An editor
            // still open closes while the effect is whole, so a gesture in
            // progress still reaches the host as its end-edit.
            PlugLockGuard guard(plug->Lock());
            if (IEditor* editor = WindowEditor(*plug)) editor->CloseEditorWindow();
        }
        delete plug;
        return 0;
    }

    if (opCode == effEditIdle)
    {
        // The editor takes the lock for its own work, and lets it go while a
        // menu or a file chooser waits for the user, so that audio and the
        // host's parameter calls go on meanwhile.
        IEditor* editor = nullptr;
        {
            PlugLockGuard guard(plug->Lock());
            editor = WindowEditor(*plug);
        }
        if (editor) editor->Idle();
        return 0;
    }

    PlugLockGuard guard(plug->Lock());
    if (opCode == effIdle) return 0;
    try
    {
        return plug->DispatchOpcode(opCode, idx, value, ptr, opt);
    }
    catch (...)
    {
        // Nothing may unwind into the host.
        return 0;
    }
}

VstIntPtr IPlugVST::DispatchOpcode(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr,
                                   float opt)
{
    switch (opCode)
    {
    case effOpen:
        PrepareForHost();
        NotifyAllParamsChanged();
        return 0;

    case effSetProgram:
        if (!ChunksFlag()) StoreCurrentProgram();
        RestoreProgram(IndexFromValue(value));
        return 0;

    case effGetProgram:
        return CurrentProgram();

    case effSetProgramName:
        if (ptr)
        {
            char name[IPlugProgram::kNameSize];
            CopyFromHost(name, ptr, sizeof(name) - 1);
            StoreCurrentProgram(name);
        }
        return 0;

    case effGetProgramName:
        if (ptr) CopyToHost(ptr, GetProgramName(CurrentProgram()), kVstProgramNameBytes);
        return 0;

    case effGetParamLabel:
        if (const IPlugParam* param = GetParam(idx))
            CopyToHost(ptr, param->Label(), kVstParamTextBytes);
        return 0;

    case effGetParamDisplay:
        if (const IPlugParam* param = GetParam(idx); param && ptr)
        {
            char text[kParamTextSize];
            param->FormatValue(param->Value(), false, text, sizeof(text));
            CopyToHost(ptr, text, kVstParamTextBytes);
        }
        return 0;

    case effGetParamName:
        if (const IPlugParam* param = GetParam(idx))
            CopyToHost(ptr, param->Name(), kVstParamTextBytes);
        return 0;

    case effSetSampleRate:
        SetSampleRate(static_cast<double>(opt));
        ResetEngine();
        return 0;

    case effSetBlockSize:
        SetBlockLength(static_cast<int>(std::clamp<VstIntPtr>(value, 0, kMaxBlockLength)));
        ResetEngine();
        return 0;

    case effMainsChanged:
        if (value == 0)
        {
            OnMainsChanged(false);
            ResetEngine();
        }
        else
        {
            OnMainsChanged(true);
        }
        return 0;

    case effEditGetRect:
        if (ptr && WindowEditor(*this))
        {
            SetEditRectFromEditor();
            *static_cast<ERect**>(ptr) = &mEditRect;
            return 1;
        }
        return 0;

    case effEditOpen:
        if (IEditor* editor = WindowEditor(*this))
        {
            if (editor->OpenEditorWindow(ptr))
            {
                OnEditorOpened();
                return 1;
            }
        }
        return 0;

    case effEditClose:
        if (IEditor* editor = WindowEditor(*this))
        {
            OnEditorClosed();
            editor->CloseEditorWindow();
            return 1;
        }
        return 0;

    case effIdentify:
        return kEffectIdentifyAnswer;

    case effGetChunk:
        return GetChunk(idx, ptr);

    case effSetChunk:
        return SetChunk(idx, value, ptr);

    case effProcessEvents:
        return ProcessEvents(static_cast<const VstEvents*>(ptr));

    case effCanBeAutomated:
        return 1;

    case effGetProgramNameIndexed:
    {
        if (!ptr) return 0;
        const char* name = GetProgramName(idx);
        CopyToHost(ptr, name, kVstProgramNameBytes);
        return name[0] ? 1 : 0;
    }

    case effGetInputProperties:
        return PinProperties(idx, ptr, true);

    case effGetOutputProperties:
        return PinProperties(idx, ptr, false);

    case effGetPlugCategory:
        return InstrumentFlag() ? kPlugCategSynth : kPlugCategEffect;

    case effProcessVarIo:
        return 0;

    case effSetSpeakerArrangement:
        return SetSpeakerArrangement(value, ptr);

    case effGetEffectName:
        if (!ptr) return 0;
        CopyToHost(ptr, EffectName(), kVstEffectNameBytes);
        return 1;

    case effGetVendorString:
        if (!ptr) return 0;
        CopyToHost(ptr, VendorName(), kVstVendorTextBytes);
        return 1;

    case effGetProductString:
        if (!ptr) return 0;
        CopyToHost(ptr, ProductName(), kVstVendorTextBytes);
        return 1;

    case effVendorSpecific:
        // Display text of parameter value for the normalised value opt.
        if (idx != kVstVendorSpecificDisplayIndex || !ptr) return 0;
        if (const IPlugParam* param = GetParam(IndexFromValue(value)))
        {
            char text[kParamTextSize];
            param->FormatValue(static_cast<double>(opt), true, text, sizeof(text));
            CopyToHost(ptr, text, kVstParamTextBytes);
        }
        return kVstVendorSpecificAnswer;

    case effCanDo:
        return CanDo(static_cast<const char*>(ptr));

    case effGetVstVersion:
        return kVstVersion;

    case effGetMidiKeyName:
    {
        if (!ptr) return 0;
        MidiKeyName* key = static_cast<MidiKeyName*>(ptr);
        key->keyName[0] = 0;
        char name[kParamTextSize] = {};
        const bool named = GetMidiKeyName(key->thisKeyNumber, name);
        CopyToHost(key->keyName, name, sizeof(key->keyName));
        return named ? 1 : 0;
    }

    case effGetSpeakerArrangement:
        if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputArrangement;
        if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputArrangement;
        return 1;

    default:
        return 0;
    }
}

VstIntPtr IPlugVST::GetChunk(VstInt32 idx, void* ptr)
{
    if (!ptr) return 0;
    const bool bank = idx == 0;
    StateChunk& chunk = bank ? mBankState : mProgramState;
    StartStateChunk(chunk);
    if (bank) StoreCurrentProgram();
    if (!WriteState(chunk) || chunk.Size() == 0) return 0;
    *static_cast<void**>(ptr) = chunk.Data();
    return chunk.Size();
}

VstIntPtr IPlugVST::SetChunk(VstInt32 idx, VstIntPtr size, void* ptr)
{
    // A negative or oversized byte count is refused before anything changes.
    if (!ptr || size < 0 || size > INT_MAX) return 0;
    const bool bank = idx == 0;

    // The host may hand back the very buffer an earlier effGetChunk gave it,
    // and may use that buffer again afterwards: the data is read from a copy,
    // and what effGetChunk handed out stays as it was until the next one.
    StateChunk chunk;
    if (!chunk.PutBytes(ptr, static_cast<int>(size))) return 0;

    int pos = 0;
    const int version = ReadStateChunkVersion(chunk, pos);
    const int end = ReadState(chunk, pos);
    if (!(bank && version >= kProgramChunkVersion)) StoreCurrentProgram();
    // A chunk that ended early still set the values it reached: the editor
    // shows them too, though the load is answered as failed.
    PushParamsToEditor();
    return end < 0 ? 0 : 1;
}

VstIntPtr IPlugVST::ProcessEvents(const VstEvents* events)
{
    if (!events) return 0;
    for (VstInt32 i = 0; i < events->numEvents; ++i)
    {
        VstEvent* event = events->events[i];
        if (!event) continue;
        if (event->type == kVstMidiType)
        {
            const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
            HandleMidiMessage(MidiMessage(
                midi->deltaFrames, static_cast<uint8_t>(midi->midiData[0]),
                static_cast<uint8_t>(midi->midiData[1]), static_cast<uint8_t>(midi->midiData[2])));
        }
        else
        {
            ForwardEventToHost(event);
        }
    }
    return 1;
}

VstIntPtr IPlugVST::CanDo(const char* text) const
{
    if (!text) return 0;
    if (std::strcmp(text, "receiveVstTimeInfo") == 0) return 1;
    if (mDoesMidi &&
        (std::strcmp(text, "sendVstEvents") == 0 || std::strcmp(text, "sendVstMidiEvent") == 0 ||
         std::strcmp(text, "receiveVstEvents") == 0 ||
         std::strcmp(text, "receiveVstMidiEvent") == 0))
        return 1;
    if (std::strcmp(text, "hasCockosExtensions") == 0 ||
        std::strcmp(text, "hasCockosViewAsConfig") == 0)
        return kVstExtensionsAnswer;
    return 0;
}

VstIntPtr IPlugVST::PinProperties(VstInt32 idx, void* ptr, bool input) const
{
    const int count = input ? NInChannels() : NOutChannels();
    if (!ptr || idx < 0 || idx >= count) return 0;
    VstPinProperties* pin = static_cast<VstPinProperties*>(ptr);
    pin->flags = kVstPinIsActive;
    if (idx % 2 == 0 && idx < count - 1) pin->flags |= kVstPinIsStereo;
    std::snprintf(pin->label, sizeof(pin->label), input ? "Input %d" : "Output %d", idx + 1);
    return 1;
}

VstIntPtr IPlugVST::SetSpeakerArrangement(VstIntPtr inputArr, void* outputArr)
{
    // Channels up to the arrangement's count are connected, the rest not; the
    // record and the stored arrangements keep what they said.
    if (const auto* in = reinterpret_cast<const VstSpeakerArrangement*>(inputArr))
    {
        const int n = std::clamp(static_cast<int>(in->numChannels), 0, NInChannels());
        ConnectInputs(0, n, true);
        ConnectInputs(n, NInChannels() - n, false);
    }
    if (const auto* out = static_cast<const VstSpeakerArrangement*>(outputArr))
    {
        const int n = std::clamp(static_cast<int>(out->numChannels), 0, NOutChannels());
        ConnectOutputs(0, n, true);
        ConnectOutputs(n, NOutChannels() - n, false);
    }
    return 1;
}
