#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zelbor::render
{

// What the tool needs to know about one parameter to read a typed value.
struct ParamDescription
{
    int index = -1;
    std::string name;
    bool isChoice = false; // enumeration or switch: values are choice numbers
    double minimum = 0.0;
    double maximum = 1.0;
    std::vector<std::pair<int, std::string>> choices; // value, display text
};

struct ParamConversion
{
    bool ok = false;
    double plain = 0.0; // the value in the parameter's own units
    std::string error;
};

// The unit a parameter's plain value is in ("ms", "dB", "Hz"), or "" for
// fractions and choices. Taken from the family part of the name.
std::string UnitOf(const std::string& paramName);

// Reads a typed value for a parameter. Choices are matched by their display
// text (exactly, then ignoring case), or given by number. Numbers may carry
// the parameter's unit ("375ms", "-6 dB"). Values outside the range are
// errors naming the parameter and its range.
ParamConversion ConvertParamText(const ParamDescription& param, const std::string& text);

// "1 to 2000 ms" or "bpm | msec".
std::string RangeText(const ParamDescription& param);

} // namespace zelbor::render
