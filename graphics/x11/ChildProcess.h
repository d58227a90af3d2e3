#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// A helper program started without a shell, from an argument vector, its
// standard input closed off and, when asked, its standard output read
// through a pipe.
class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess(); // ends and reaps a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Whether a program of that name is on PATH (or the path names one).
    static bool Installed(const std::string& program);
    // Starts args[0], found on PATH. False when it cannot be started.
    bool Start(const std::vector<std::string>& args, bool readOutput);
    // Collects the output until the program ends and answers its exit
    // status (-1 when it did not end normally). Every 50 ms abandon is asked
    // whether to give up: then the program is ended and -1 answered.
    // kReapedElsewhere when the program ended but its status was taken by
    // someone else: a host that ignores SIGCHLD or reaps every child.
    int Wait(std::string& output, const std::function<bool()>& abandon);
    static constexpr int kReapedElsewhere = -2;
    // Reaps the program if it has ended; true when it has (or never ran).
    bool Reap();
    // Lets the program run on unwatched (a browser the user keeps); it is
    // reaped by a later ReapDetached once it ends.
    void Detach();
    static void ReapDetached();

private:
    pid_t pid = -1;
    int outFd = -1;
};
