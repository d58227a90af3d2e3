#pragma once

#include <string>
#include <string_view>

namespace zelbor::render
{

// Reads a whole text as a finite number with "." as the decimal point,
// whatever the process locale. Leading and trailing blanks are allowed; a
// leading "+" is accepted.
bool ParseNumber(std::string_view text, double& value);
// Reads a whole text as an integer.
bool ParseInteger(std::string_view text, long long& value);
// Fixed-point text with the given decimals, "." as the decimal point.
std::string FormatNumber(double value, int decimals);
// Shortest text that reads back as the value (for ranges: "1", "0.25").
std::string FormatShort(double value);
// The text with ASCII letters in lower case (for matching names and choices
// regardless of case).
std::string LowerCase(std::string text);

} // namespace zelbor::render
