#pragma once
// Runs a command-line tool (the poppler tools, qpdf, our programs) and
// collects what it printed.
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ToolResult {
    int exitCode = -1; // -1: did not start, crashed or ran over a minute
    QString out;
    QString err;
};

// With env given, the tool sees that environment instead of this process's.
inline ToolResult RunTool(const QString &program, const QStringList &args,
                          const QProcessEnvironment &env = QProcessEnvironment(), const QByteArray &input = {})
{
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(program, args);
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    ToolResult r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The application object QProcess needs, made once for a test program.
inline void EnsureCoreApplication()
{
    static int argc = 1;
    static char arg0[] = "tests";
    static char *argv[] = {arg0, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}
