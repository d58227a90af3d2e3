#pragma once

#include "plugin/DelayParams.h"

constexpr int kReadoutSize = 64;

// Index of a choice from a parameter value: truncated toward zero and kept
// inside 0 .. count - 1 (a value that is not a number gives 0).
int ChoiceIndex(double value, int count);

// Writes the readout text of a parameter's new value into out (size bytes,
// always terminated). Returns false, leaving out untouched, for the
// parameters that show nothing: Oper, Panic, the placeholder, and Scl_Rst
// unless it is pressed (value above 0.5).
bool FormatReadout(const ParamDef& row, double value, char* out, int size);
