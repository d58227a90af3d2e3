#include "presets/ConfigurationFileReader.h"

#include <cstring>

const char* ReadToken(const char* text, char* dest, int max)
{
    int stored = 0;
    while (*text == ' ' || *text == '\t')
        ++text;
    char quote = 0;
    if (*text == '"' || *text == '\'') quote = *text++;
    for (; *text; ++text)
    {
        if (quote ? *text == quote : (*text == ' ' || *text == '\t')) break;
        if (stored < max) dest[stored++] = *text;
    }
    if (quote && *text == quote) ++text;
    dest[stored] = 0;
    return text;
}

ConfigurationFileReader::ConfigurationFileReader(FILE* file)
    : TextFileReader(file), mKey(new char[kMaxKey + 1]), mValue(new char[kMaxValue + 1])
{
    mKey[0] = 0;
    mValue[0] = 0;
}

ConfigurationFileReader::~ConfigurationFileReader() = default;

bool ConfigurationFileReader::NextEntry()
{
    while (HasMore())
    {
        ReadLine();
        char* line = LineBuffer();
        if (char* comment = std::strchr(line, ';')) *comment = 0;
        const char* rest = ReadToken(line, mKey.get(), kMaxKey);
        ReadToken(rest, mValue.get(), kMaxValue);
        if (mKey[0]) return true;
    }
    mKey[0] = 0;
    mValue[0] = 0;
    return false;
}
