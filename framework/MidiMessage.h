#pragma once

#include <cstdint>

// One short MIDI message with its sample offset inside the current block.
struct MidiMessage
{
    int32_t offset = 0; // frame offset within the block
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;

    MidiMessage() = default;
    MidiMessage(int32_t frameOffset, uint8_t s, uint8_t d1, uint8_t d2)
        : offset(frameOffset), status(s), data1(d1), data2(d2)
    {
    }
};
