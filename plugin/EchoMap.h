#pragma once

#include "plugin/DelayParams.h"

#include <atomic>

// What the echo map shows of each tap, published by the engine (under the
// plug-in lock, after a parameter change and with every meter refresh) and
// read by the editor without the lock. version counts the changes, so the
// editor repaints the map only when something it shows changed.
struct EchoMapState
{
    struct Tap
    {
        std::atomic<bool> shown{false};    // the line has an input and the tap is heard
        std::atomic<float> timeMs{0.0f};   // set delay time
        std::atomic<float> readMs{0.0f};   // current read distance (with modulation)
        std::atomic<float> gain{0.0f};     // linear tap gain
        std::atomic<float> feedback{0.0f}; // linear feedback gain, scaled
        std::atomic<float> depthMs{0.0f};  // LFO excursion either side
        std::atomic<int> source{kNoTap};   // tap feeding this line
    };

    Tap taps[kNumTaps];
    std::atomic<unsigned> version{0};

    // Stores a value and counts a change when it differs.
    template <typename T, typename V> void Set(std::atomic<T>& field, V v)
    {
        const T value = static_cast<T>(v);
        if (field.load(std::memory_order_relaxed) != value)
        {
            field.store(value, std::memory_order_relaxed);
            version.fetch_add(1, std::memory_order_release);
        }
    }
};
