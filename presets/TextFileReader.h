#pragma once

#include "presets/ByteReader.h"

#include <cstdio>
#include <memory>

// Reads a text file line by line. Carriage returns are dropped wherever they
// occur, a line feed ends a line, and every other byte (0x80 to 0xFF too) is an
// ordinary character. Lines longer than kMaxLine characters are cut; the rest
// of such a line is skipped so that the next read starts on the next line.
class TextFileReader
{
public:
    // Room for the longest configuration entry: a key of 40 and a value of
    // 512 characters, with quotes and blanks.
    static constexpr int kMaxLine = 1024;

    // Takes ownership of file (may be null: the reader is then at its end).
    explicit TextFileReader(FILE* file);
    virtual ~TextFileReader();

    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    // Reads the next line into Line(); an empty line at the end of the file.
    void ReadLine();
    // True while a file is open and not at its end.
    bool HasMore();
    const char* Line() const { return mLine.get(); }

protected:
    char* LineBuffer() { return mLine.get(); }

private:
    FILE* mFile;
    std::unique_ptr<ByteReader> mReader;
    std::unique_ptr<char[]> mLine;
};
