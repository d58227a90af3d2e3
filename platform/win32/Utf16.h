#pragma once

// UTF-8 / UTF-16 conversion for the Windows file calls.

#include <string>

// Converts valid UTF-8 to UTF-16; false for null or invalid input.
bool Utf8ToWide(const char* text, std::wstring& out);

// UTF-16 to UTF-8; false for null text or text that cannot be converted.
bool WideToUtf8(const wchar_t* text, std::string& out);
