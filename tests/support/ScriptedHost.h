#pragma once

// The host side of the VST 2 binding for tests: a scripted host callback and
// calls into an effect's dispatcher, as a host makes them.

#include "framework/vst/IPlugVST.h"

#include <cstring>
#include <string>
#include <vector>

// Answers the few host requests the binding makes and records every call.
// The callback has no user pointer to go by, so it serves the host made
// last: one lives at a time.
class ScriptedHost
{
public:
    struct Call
    {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        float opt;
    };

    std::vector<Call> calls;
    VstTimeInfo time{};
    bool hasTime = false;
    std::string product;
    VstIntPtr vendorVersion = 0;
    VstIntPtr processEventsAnswer = 1;
    std::vector<VstEvent*> forwarded;   // event pointers handed to the host
    std::vector<VstMidiEvent> midiSent; // copies of MIDI events sent

    ScriptedHost() { sCurrent = this; }
    ~ScriptedHost() { sCurrent = nullptr; }

    audioMasterCallback Callback() const { return &ScriptedHost::Dispatch; }
    int Count(VstInt32 opcode) const
    {
        int n = 0;
        for (const Call& c : calls)
            n += c.opcode == opcode ? 1 : 0;
        return n;
    }

private:
    static inline ScriptedHost* sCurrent = nullptr;

    static VstIntPtr VSTCALLBACK Dispatch(AEffect*, VstInt32 opcode, VstInt32 index,
                                          VstIntPtr value, void* ptr, float opt)
    {
        ScriptedHost* host = sCurrent;
        if (!host) return 0;
        host->calls.push_back({opcode, index, value, opt});
        switch (opcode)
        {
        case audioMasterGetTime:
            return host->hasTime ? reinterpret_cast<VstIntPtr>(&host->time) : 0;
        case audioMasterGetProductString:
            std::strcpy(static_cast<char*>(ptr), host->product.c_str());
            return 1;
        case audioMasterGetVendorVersion:
            return host->vendorVersion;
        case audioMasterProcessEvents:
        {
            const VstEvents* events = static_cast<const VstEvents*>(ptr);
            for (int i = 0; i < events->numEvents; ++i)
            {
                host->forwarded.push_back(events->events[i]);
                if (events->events[i]->type == kVstMidiType)
                    host->midiSent.push_back(
                        *reinterpret_cast<const VstMidiEvent*>(events->events[i]));
            }
            return host->processEventsAnswer;
        }
        default:
            return 0;
        }
    }
};

// Calls the effect's dispatcher through its record, as a host does.
inline VstIntPtr Dispatch(IPlugVST& plug, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f)
{
    AEffect* effect = plug.GetAEffect();
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}
