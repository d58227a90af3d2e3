#include "presets/TextFileReader.h"

TextFileReader::TextFileReader(FILE* file)
    : mFile(file), mReader(std::make_unique<ByteReader>(file)), mLine(new char[kMaxLine + 1])
{
    mLine[0] = 0;
}

TextFileReader::~TextFileReader()
{
    if (mFile) std::fclose(mFile);
}

bool TextFileReader::HasMore()
{
    return mReader->Peek() != EOF;
}

void TextFileReader::ReadLine()
{
    int length = 0;
    for (int c = mReader->Get(); c != EOF && c != '\n'; c = mReader->Get())
    {
        if (c == '\r') continue;
        if (length < kMaxLine) mLine[length++] = static_cast<char>(c);
    }
    mLine[length] = 0;
}
