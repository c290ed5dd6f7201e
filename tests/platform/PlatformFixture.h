#pragma once
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Gives every test its own TMPDIR, XDG_CONFIG_HOME and HOME, so nothing
// reaches the real ones.
class PlatformFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        for (const char *name : {"TMPDIR", "XDG_CONFIG_HOME", "HOME"}) {
            const char *old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        QDir().mkpath(root() + "/tmp");
        QDir().mkpath(root() + "/home");
        ::setenv("TMPDIR", QFile::encodeName(root() + "/tmp").constData(), 1);
        ::setenv("XDG_CONFIG_HOME", QFile::encodeName(root() + "/config").constData(), 1);
        ::setenv("HOME", QFile::encodeName(root() + "/home").constData(), 1);
    }

    void TearDown() override
    {
        for (const auto &[name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

    QString root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
    std::map<std::string, std::optional<std::string>> m_saved;
};

// A forked child that runs body, reports through a pipe that it is ready and
// then waits to be killed; killed (SIGKILL) and reaped when it goes away.
class Child {
public:
    explicit Child(const std::function<bool()> &body)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            char ok = '0';
            try {
                ok = body() ? '1' : '0';
            } catch (...) {
            }
            if (::write(fds[1], &ok, 1) != 1)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(fds[1]);
        char ok = 0;
        m_ready = m_pid > 0 && ::read(fds[0], &ok, 1) == 1 && ok == '1';
        ::close(fds[0]);
    }
    ~Child() { kill(); }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    bool ready() const { return m_ready; }

    void kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};
