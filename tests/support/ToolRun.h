#pragma once
// Runs a command-line tool (the poppler tools, qpdf, our programs) and
// collects what it printed.
#include <QProcess>
#include <QString>
#include <QStringList>

struct ToolResult {
    int exitCode = -1; // -1: did not start, crashed or ran over a minute
    QString out;
    QString err;
};

inline ToolResult RunTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    ToolResult r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
