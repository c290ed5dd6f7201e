#pragma once
// ImageMagick as the benchmarks run it: its policy forbids PDF and holds
// little memory, so its runs get a policy of their own.
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

// Writes the policy under root and gives the environment entries
// (NAME=value) that make ImageMagick use it. Resource limits come from the
// first policy file found (MAGICK_CONFIGURE_PATH), coder rights from the
// last (under $HOME).
inline QStringList MagickEnvironment(const QString &root)
{
    const QString home = root + QStringLiteral("/magick-home");
    const QString config = root + QStringLiteral("/magick-config");
    QDir().mkpath(home + QStringLiteral("/.config/ImageMagick"));
    QDir().mkpath(config);
    const QByteArray policy = "<policymap>\n"
                              "  <policy domain=\"resource\" name=\"memory\" value=\"2GiB\"/>\n"
                              "  <policy domain=\"resource\" name=\"map\" value=\"4GiB\"/>\n"
                              "  <policy domain=\"resource\" name=\"area\" value=\"1GP\"/>\n"
                              "  <policy domain=\"resource\" name=\"disk\" value=\"16GiB\"/>\n"
                              "  <policy domain=\"coder\" rights=\"read|write\" pattern=\"PDF\"/>\n"
                              "</policymap>\n";
    for (const QString &file : {config + QStringLiteral("/policy.xml"), home + QStringLiteral("/.config/ImageMagick/policy.xml")}) {
        QFile f(file);
        if (f.open(QIODevice::WriteOnly))
            f.write(policy);
    }
    return {QStringLiteral("MAGICK_CONFIGURE_PATH=") + config, QStringLiteral("HOME=") + home,
            QStringLiteral("MAGICK_TMPDIR=") + root};
}
