#pragma once
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// Gives every test its own TMPDIR, XDG_CONFIG_HOME and HOME, so nothing
// reaches the real ones.
class PlatformFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        QDir().mkpath(root() + "/tmp");
        QDir().mkpath(root() + "/home");
        setEnv("TMPDIR", root() + "/tmp");
        setEnv("XDG_CONFIG_HOME", root() + "/config");
        setEnv("HOME", root() + "/home");
    }
    void TearDown() override
    {
        for (const char *name : {"TMPDIR", "XDG_CONFIG_HOME", "HOME"}) {
            const QByteArray old = m_saved.value(name);
            old.isNull() ? ::unsetenv(name) : ::setenv(name, old.constData(), 1);
        }
    }
    void setEnv(const char *name, const QString &value)
    {
        if (!m_saved.contains(name))
            m_saved.insert(name, std::getenv(name) ? QByteArray(std::getenv(name)) : QByteArray());
        ::setenv(name, QFile::encodeName(value).constData(), 1);
    }
    QString root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
    QMap<QByteArray, QByteArray> m_saved;
};

// A forked child that runs body, tells through a pipe whether it succeeded,
// then waits; SIGKILLed and reaped by kill() or when it goes away.
class Child {
public:
    explicit Child(const std::function<bool()> &body)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
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
    bool ready() const { return m_ready; }
    void kill()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};
