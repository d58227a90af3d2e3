#pragma once

// A minimal VST 2 host: loads the built module, creates effects through its
// exported entries and answers their host calls. Knows only the records and
// opcodes, nothing of the effect's code.

#include "framework/vst/VstAbi.h"
#include "platform/DynamicLibrary.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#ifndef ZELBOR_MODULE_FILE
#error "ZELBOR_MODULE_FILE names the module to load"
#endif

// What one effect asked of its host. Reached through the record's user
// field, which belongs to the host.
struct TestHost
{
    std::string product;
    VstIntPtr vendorVersion = 0;
    VstTimeInfo time{};
    std::atomic<int> productAsks{0};
    std::atomic<int> versionAsks{0};
    std::atomic<int> timeAsks{0};
    std::atomic<int> automations{0};
    std::atomic<int> otherCalls{0};
    // Edit gestures: how many of each, which are open per parameter, and the
    // calls a host would refuse (an index it was not declared, an end-edit
    // without its begin-edit).
    static constexpr int kMaxParams = 256;
    std::atomic<int> beginEdits{0};
    std::atomic<int> endEdits{0};
    std::atomic<int> openEdits[kMaxParams] = {};
    std::atomic<int> undeclaredIndices{0};
    std::atomic<int> unmatchedEnds{0};
    int declaredParams = 216;

    int OpenGestures() const
    {
        int n = 0;
        for (const auto& open : openEdits)
            n += open.load();
        return n;
    }

    TestHost()
    {
        time.sampleRate = 44100.0;
        time.tempo = 120.0;
        time.timeSigNumerator = 4;
        time.timeSigDenominator = 4;
        time.flags = kVstTempoValid | kVstTimeSigValid | kVstTransportPlaying;
    }

    static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                          VstIntPtr, void* ptr, float)
    {
        static TestHost fallback; // calls made before the host has claimed the record
        TestHost* host = effect && effect->user ? static_cast<TestHost*>(effect->user) : &fallback;
        switch (opcode)
        {
        case 1: // host version
            return 2400;
        case audioMasterGetTime:
            ++host->timeAsks;
            return reinterpret_cast<VstIntPtr>(&host->time);
        case audioMasterGetProductString:
            ++host->productAsks;
            std::strncpy(static_cast<char*>(ptr), host->product.c_str(), 63);
            return 1;
        case audioMasterGetVendorVersion:
            ++host->versionAsks;
            return host->vendorVersion;
        case audioMasterAutomate:
            ++host->automations;
            if (index < 0 || index >= host->declaredParams) ++host->undeclaredIndices;
            return 0;
        case audioMasterBeginEdit:
        case audioMasterEndEdit:
        {
            if (index < 0 || index >= host->declaredParams)
            {
                ++host->undeclaredIndices;
                return 0;
            }
            std::atomic<int>& open = host->openEdits[index];
            if (opcode == audioMasterBeginEdit)
            {
                ++host->beginEdits;
                ++open;
            }
            else
            {
                ++host->endEdits;
                if (open.fetch_sub(1) <= 0)
                {
                    ++open;
                    ++host->unmatchedEnds;
                }
            }
            return 1;
        }
        default:
            ++host->otherCalls;
            return 0;
        }
    }
};

// Small deterministic generator, one per thread.
struct Rng
{
    std::uint32_t state;
    std::uint32_t Next()
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    float Unit() { return static_cast<float>(Next() & 0xFFFF) / 65535.0f; }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }
};

// The loaded module, shared by every test of the process.
class ModuleFixture : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (sModule.IsOpen()) return;
        const char* overridePath = std::getenv("ZELBOR_MODULE");
        const std::string path =
            overridePath && overridePath[0] ? overridePath : ZELBOR_MODULE_FILE;
        sModule.Open(path);
    }

    void SetUp() override
    {
        ASSERT_TRUE(sModule.IsOpen()) << sModule.Error();
        mMain = reinterpret_cast<VstPluginMainProc>(sModule.Symbol("VSTPluginMain"));
        ASSERT_NE(mMain, nullptr);
    }

    // A new effect whose host calls go to host.
    AEffect* Create(TestHost& host, VstPluginMainProc entry = nullptr)
    {
        AEffect* effect = (entry ? entry : mMain)(&TestHost::Callback);
        if (effect) effect->user = &host;
        return effect;
    }

    static VstIntPtr Call(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f)
    {
        return e->dispatcher(e, opcode, index, value, ptr, opt);
    }

    // Opens the effect and prepares it for audio as hosts usually do.
    static void Start(AEffect* e, int blockSize)
    {
        Call(e, effOpen);
        Call(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        Call(e, effSetBlockSize, 0, blockSize);
        Call(e, effMainsChanged, 0, 1);
    }

    static void Close(AEffect* e)
    {
        Call(e, effMainsChanged, 0, 0);
        Call(e, effClose);
    }

    // Kept loaded for the whole run, as a host keeps a plug-in it uses: the
    // module's process-wide font and lock objects stay reachable.
    static inline DynamicLibrary& sModule = *new DynamicLibrary;
    VstPluginMainProc mMain = nullptr;
};
