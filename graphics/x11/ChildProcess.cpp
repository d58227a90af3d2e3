#include "graphics/x11/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
std::mutex& DetachedMutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::vector<pid_t>& Detached()
{
    static std::vector<pid_t>* pids = new std::vector<pid_t>;
    return *pids;
}
} // namespace

ChildProcess::~ChildProcess()
{
    if (outFd >= 0)
    {
        close(outFd);
    }
    if (pid > 0 && !Reap())
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

bool ChildProcess::Installed(const std::string& program)
{
    if (program.empty())
    {
        return false;
    }
    if (program.find('/') != std::string::npos)
    {
        return access(program.c_str(), X_OK) == 0;
    }
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size())
    {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
        {
            end = folders.size();
        }
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        if (access((folder + "/" + program).c_str(), X_OK) == 0)
        {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool ChildProcess::Start(const std::vector<std::string>& args, bool readOutput)
{
    if (args.empty() || pid > 0)
    {
        return false;
    }
    int pipeFds[2] = {-1, -1};
    if (readOutput && pipe2(pipeFds, O_CLOEXEC) != 0)
    {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (readOutput)
    {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    }
    std::vector<char*> argv;
    for (const std::string& a : args)
    {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = -1;
    const int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (readOutput)
    {
        close(pipeFds[1]);
    }
    if (failed != 0)
    {
        if (readOutput)
        {
            close(pipeFds[0]);
        }
        return false;
    }
    pid = child;
    outFd = readOutput ? pipeFds[0] : -1;
    return true;
}

int ChildProcess::Wait(std::string& output, const std::function<bool()>& abandon)
{
    bool gaveUp = false;
    auto giveUp = [&]
    {
        if (!gaveUp && abandon && abandon())
        {
            gaveUp = true;
            kill(pid, SIGTERM);
        }
        return gaveUp;
    };
    while (outFd >= 0 && !gaveUp)
    {
        pollfd p{outFd, POLLIN, 0};
        if (poll(&p, 1, 50) > 0)
        {
            char buf[4096];
            const ssize_t n = read(outFd, buf, sizeof(buf));
            if (n > 0)
            {
                output.append(buf, static_cast<size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
            {
                continue;
            }
            close(outFd);
            outFd = -1;
            break;
        }
        giveUp();
    }
    while (pid > 0)
    {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
        {
            pid = -1;
            return !gaveUp && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0 && errno != EINTR)
        {
            const bool elsewhere = errno == ECHILD;
            pid = -1;
            return elsewhere && !gaveUp ? kReapedElsewhere : -1;
        }
        giveUp();
        usleep(20000);
    }
    return -1;
}

bool ChildProcess::Reap()
{
    if (pid <= 0)
    {
        return true;
    }
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno == ECHILD))
    {
        pid = -1;
        return true;
    }
    return false;
}

void ChildProcess::Detach()
{
    if (outFd >= 0)
    {
        close(outFd);
        outFd = -1;
    }
    if (pid > 0 && !Reap())
    {
        std::lock_guard<std::mutex> hold(DetachedMutex());
        Detached().push_back(pid);
    }
    pid = -1;
}

void ChildProcess::ReapDetached()
{
    std::lock_guard<std::mutex> hold(DetachedMutex());
    auto& pids = Detached();
    for (size_t i = 0; i < pids.size();)
    {
        const pid_t done = waitpid(pids[i], nullptr, WNOHANG);
        if (done == pids[i] || (done < 0 && errno == ECHILD))
        {
            pids.erase(pids.begin() + static_cast<long>(i));
        }
        else
        {
            ++i;
        }
    }
}
