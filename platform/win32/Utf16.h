#pragma once

// UTF-8 / UTF-16 conversion for the Windows file calls.

#include <string>

// Converts valid UTF-8 to UTF-16; false for null or invalid input.
bool Utf8ToWide(const char* text, std::wstring& out);
