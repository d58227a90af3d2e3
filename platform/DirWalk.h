#pragma once

// Enumerates the entries of one folder. Names are UTF-8 (on Windows they come
// from the wide-character enumeration; a name that cannot be converted is
// reported empty). "." and ".." are reported like any other entry; the order
// is the one the system delivers.

#include <cstdint>
#include <memory>

class DirWalk
{
public:
    DirWalk();
    ~DirWalk();

    DirWalk(const DirWalk&) = delete;
    DirWalk& operator=(const DirWalk&) = delete;

    // Starts enumerating the folder at path (a trailing separator is allowed).
    // Returns false when the folder cannot be read.
    bool Open(const char* path);
    // Moves to the next entry; false when there are no more.
    bool Next();
    // The current entry's name and whether it is a folder.
    const char* Name() const;
    bool IsFolder() const;
    void Close();

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};

// Identity of a folder on disk: the same folder reached through different
// paths (links, junctions) has the same identity.
struct FolderId
{
    uint64_t volume = 0;
    uint64_t index = 0;

    bool operator==(const FolderId&) const = default;
};

// Looks up the identity of the folder at path; false when it cannot be had.
bool GetFolderId(const char* path, FolderId& id);
