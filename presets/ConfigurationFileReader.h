#pragma once

#include "presets/TextFileReader.h"

// Copies one token of text into dest and returns the position just after it.
// Leading spaces and tabs are skipped. A token in double or single quotes runs
// to the matching quote (or the end of the text) and is stored without the
// quotes; any other token runs to the next space, tab or the end. At most max
// characters are stored, the rest of the token is passed over; dest (max + 1
// bytes) is always terminated.
const char* ReadToken(const char* text, char* dest, int max);

// Splits the lines of a configuration file into a key and a value: a line is
// a key token and a value token, and everything from the first ";" on is a
// comment. Lines without a key are skipped.
class ConfigurationFileReader : public TextFileReader
{
public:
    static constexpr int kMaxKey = 40;
    static constexpr int kMaxValue = 512;

    explicit ConfigurationFileReader(FILE* file);
    ~ConfigurationFileReader() override;

    // Advances to the next line with a key; false at the end of the file.
    bool NextEntry();
    const char* Key() const { return mKey.get(); }
    const char* Value() const { return mValue.get(); }

private:
    std::unique_ptr<char[]> mKey;
    std::unique_ptr<char[]> mValue;
};
