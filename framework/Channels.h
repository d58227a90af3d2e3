#pragma once

#include <cstdint>
#include <vector>

// One accepted combination of input and output channel counts.
struct ChannelPair
{
    int32_t inputs = 0;
    int32_t outputs = 0;
};

// One input of the audio frame. Channel i owns entry i of the plug-in's input
// data pointers; while disconnected that entry points at the scratch buffer.
struct InputChannel
{
    bool connected = false;
    std::vector<double> scratch; // block length samples
};

// One output of the audio frame. In the 32-bit paths the effect writes into
// the scratch buffer, which is then converted into the host's destination.
struct OutputChannel
{
    bool connected = false;
    float* dest = nullptr;       // host buffer of the current 32-bit block
    std::vector<double> scratch; // block length samples
};
