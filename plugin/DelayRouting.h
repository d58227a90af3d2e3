#pragma once

#include "plugin/DelayParams.h"

// Settings that decide which lines run and in which order. Tap i always
// reads line i.
struct RoutingInput
{
    int inputPort[kNumTaps]; // 0 = none, 1..5 an input port
    int sourceTap[kNumTaps]; // tap whose output feeds the line, kNoTap = none
    bool mains[kNumTaps];    // the tap is summed into the main outputs
};

constexpr int kUnreachable = -999;

struct RoutingResult
{
    // Per line.
    int lineLevel[kNumTaps];          // depth from an input port; negative: no input
    int lineOutputDistance[kNumTaps]; // steps to a mains tap; negative: none
    bool lineFed[kNumTaps];
    bool lineReachesOutput[kNumTaps];
    int lineSourceRef[kNumTaps]; // resolved source tap, kNoTap = none
    // Per tap.
    int tapFedLines[kNumTaps][kNumTaps]; // lines whose source is this tap
    int tapFedCount[kNumTaps];
    int tapLevel[kNumTaps];
    int tapOutputDistance[kNumTaps];
    bool tapActive[kNumTaps]; // on the mains or feeding a line
    // The lines that run, by ascending level (equal levels in letter order).
    int order[kNumTaps];
    int orderCount;
};

// Works out levels, output distances and the processing order. Only lines
// that have a signal source and lead to a tap on the mains are processed.
void ComputeRouting(const RoutingInput& in, RoutingResult& out);

// Whether taking tap requested as the source of line would close a loop:
// the requested tap already hears the line, directly or through other lines.
bool SourceClosesLoop(const int appliedSource[kNumTaps], int line, int requested);

// Whether line may take tap requested (0..7, or kNoTap for none) as its
// source, given the sources currently in force. Refused: a tap the line's
// signal already reaches (which would close a loop), the line's current
// source again, and any tap or line further upstream of the line.
bool SourceChangeAllowed(const int appliedSource[kNumTaps], int line, int requested);
