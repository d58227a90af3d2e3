#pragma once

#include <memory>

// A path of at most kMaxPath characters.
class PathBuf
{
public:
    static constexpr int kMaxPath = 259;

    PathBuf();
    virtual ~PathBuf();

    PathBuf(const PathBuf&) = delete;
    PathBuf& operator=(const PathBuf&) = delete;

    const char* Get() const { return mBuffer.get(); }
    int Length() const { return mLength; }
    bool Empty() const { return mLength == 0; }
    void Clear();

    // Copies text when it fits; otherwise the path becomes empty and the
    // result is false.
    bool Set(const char* text);

    // Appends a separator (unless the path already ends with "\" or "/") and
    // name. When the result would be longer than kMaxPath nothing is appended
    // and the result is false. A null name appends nothing.
    bool AppendPathPart(const char* name);

    // Length the path would have after AppendPathPart(name).
    int LengthWith(const char* name) const;

private:
    std::unique_ptr<char[]> mBuffer;
    int mLength = 0;
};
