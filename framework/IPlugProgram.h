#pragma once

#include "framework/StateChunk.h"

// One stored program: a name and the plain values of the declared parameters
// (a state chunk without header).
class IPlugProgram
{
public:
    static constexpr int kNameSize = 256; // including the terminating zero

    IPlugProgram() { mName[0] = 0; }

    bool Initialized() const { return mInitialized; }
    void SetInitialized(bool initialized) { mInitialized = initialized; }

    const char* Name() const { return mName; }
    // Copies at most kNameSize - 1 characters; null counts as empty.
    void SetName(const char* name);

    StateChunk& State() { return mState; }
    const StateChunk& State() const { return mState; }

private:
    bool mInitialized = false;
    char mName[kNameSize];
    StateChunk mState;
};
