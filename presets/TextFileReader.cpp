#include "presets/TextFileReader.h"

TextFileReader::TextFileReader(FILE* file) : mFile(file), mLine(new char[kMaxLine + 1])
{
    mLine[0] = 0;
}

TextFileReader::~TextFileReader()
{
    if (mFile)
        std::fclose(mFile);
}

bool TextFileReader::HasMore()
{
    if (!mFile)
        return false;
    int c = std::fgetc(mFile);
    if (c == EOF)
        return false;
    std::ungetc(c, mFile);
    return true;
}

void TextFileReader::ReadLine()
{
    int length = 0;
    if (mFile)
    {
        for (int c = std::fgetc(mFile); c != EOF && c != '\n'; c = std::fgetc(mFile))
        {
            if (c == '\r')
                continue;
            if (length < kMaxLine)
                mLine[length++] = static_cast<char>(c);
        }
    }
    mLine[length] = 0;
}
