#pragma once

// Enumerates the entries of one folder. Names are UTF-8 (on Windows they come
// from the wide-character enumeration; a name that cannot be converted is
// reported empty). "." and ".." are reported like any other entry; the order
// is the one the system delivers. A symbolic link counts as what it points
// to; entries that are neither folders nor regular files (pipes, devices,
// sockets, dangling links) are reported as such, so that nobody opens them.

#include <compare>
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
    // The current entry's name and whether it is a folder or a regular file
    // (at most one of the two holds).
    const char* Name() const;
    bool IsFolder() const;
    bool IsRegularFile() const;
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

    auto operator<=>(const FolderId&) const = default;
};

// Looks up the identity of the folder at path; false when it cannot be had.
bool GetFolderId(const char* path, FolderId& id);
