#pragma once

// The per-sample work of one running line and its tap over a stretch of at
// most 32 samples (between two control steps), with every piece of state in
// locals. Two lanes that do not hear each other can run side by side in the
// two halves of SSE2 registers; each half does exactly the scalar arithmetic,
// so both forms give identical results.

class DelayLine;
class DelayTap;
struct TapMeter;

struct LaneState
{
    // Signals for the stretch: the line's input port, the output of the tap it
    // hears (or silence) and where this tap's outputs go.
    const double* port;
    const double* source;
    double* out;

    // Delay memory as one flat ring and the four positions in it.
    double* base;
    double* end;
    double* write;
    double* inject;
    double* readOld;
    double* readNew;

    // Read heads (previous and current), their crossfade, the two filters.
    double coefOld, inOld, outOld;
    double coefNew, inNew, outNew;
    double fade;
    double hp[5], hpState[4]; // b0 b1 b2 a1 a2; x1 x2 y1 y2
    double lp[5], lpState[4];

    // Output stage.
    double processed; // 1 in operation "oper", else 0
    double bypassed;  // 1 in operation "byp", else 0
    double sign;      // phase sign when processed, else 1
    double gain;
    double toLeft;   // (1 - pan) on the mains, else 0
    double toRight;  // pan on the mains, else 0
    double loop;     // feedback gain x FbScale x Scl_Fbk
    double feedback; // value written into the line at the next sample
};

// Samples before any of the lane's four positions wraps around the ring.
int SamplesBeforeWrap(const LaneState& s);

// Runs count samples (1..32). left and right receive each lane's share of
// the main outputs, added in lane order.
void RunLane(LaneState& s, int count, double* left, double* right);
void RunLanePair(LaneState& a, LaneState& b, int count, double* left, double* right);
