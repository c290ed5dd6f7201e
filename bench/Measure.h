#pragma once
// Runs a program as a child process and measures that process alone: wall
// time, CPU time (user + system) and peak memory (ru_maxrss through wait4).
#include <QFile>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace bench {

inline double now()
{
    timeval t{};
    gettimeofday(&t, nullptr);
    return double(t.tv_sec) + t.tv_usec / 1e6;
}

struct Measured {
    bool ok = false;
    double wall = 0, cpu = 0, peakMiB = 0;
};

// Runs the program to its end; wall, CPU (user + system) and peak memory of
// that process alone.
inline Measured measure(const QString &program, const QStringList &args, double timeout = 600,
                        const QStringList &env = {})
{
    std::vector<QByteArray> owned{QFile::encodeName(program)};
    for (const QString &a : args)
        owned.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        for (const QString &entry : env)
            ::putenv(strdup(entry.toLocal8Bit().constData()));
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Measured m;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        if (now() - start > timeout) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            return m;
        }
        ::usleep(2000);
    }
    m.wall = now() - start;
    m.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    m.peakMiB = usage.ru_maxrss / 1024.0;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

} // namespace bench
