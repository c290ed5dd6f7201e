#include "core/Global.h"
#include "core/UseHTMLHelp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
struct Call {
    int command;
    QString file;
    QVariant data;
};
struct RecordingHelp : platform::IHtmlHelp {
    std::vector<Call> *calls;
    void command(int c, const QString &f, const QVariant &d) override { calls->push_back({c, f, d}); }
};
} // namespace

TEST(HelpRouting, RequestsReachTheViewerOrSayThereIsNoFile)
{
    QTemporaryDir dir;
    std::vector<Call> calls;
    auto viewer = std::make_unique<RecordingHelp>();
    viewer->calls = &calls;
    TUseHTMLHelp help(std::move(viewer));
    help.HelpFile = dir.filePath("Help.html");
    QStringList errors;
    auto old = SetErrorSink([&](const QString &t) { errors << t; });

    EXPECT_TRUE(help.HelpCommand(TUseHTMLHelp::HelpContext, 5));
    EXPECT_EQ(errors, QStringList{"No help file present!"});
    EXPECT_TRUE(calls.empty());

    EXPECT_TRUE(help.HelpCommand(TUseHTMLHelp::HelpQuit, 0));
    EXPECT_TRUE(help.HelpCommand(TUseHTMLHelp::HelpSetPopupPos, 0));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, platform::IHtmlHelp::CloseAll);
    EXPECT_EQ(errors.size(), 1);

    QFile f(help.HelpFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    calls.clear();
    help.HelpCommand(TUseHTMLHelp::HelpContext, 5);
    help.HelpCommand(TUseHTMLHelp::HelpContextPopup, 6);
    help.HelpCommand(TUseHTMLHelp::HelpKey, QString("index"));
    help.HelpCommand(0x0003, 0);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].command, 0x0F);
    EXPECT_EQ(calls[0].data.toInt(), 5);
    EXPECT_EQ(calls[1].command, 0x0F);
    EXPECT_EQ(calls[2].command, 0x02);
    EXPECT_EQ(calls[2].data.toString(), "index");
    EXPECT_EQ(calls[3].command, 0x00);
    EXPECT_EQ(calls[3].file, help.HelpFile);
    SetErrorSink(old);
}

TEST(HelpRouting, TheGuideIsLookedForBesideTheProgramNotInTheCurrentFolder)
{
    QTemporaryDir dir;
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QFile stray("Help.html");
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    EXPECT_EQ(TUseHTMLHelp::DefaultHelpFile(), QFileInfo(self).absolutePath() + "/Help.html");
    QDir::setCurrent(oldCwd);
}

// The build's program folder holds the guide F1 opens, with every picture it shows.
TEST(HelpRouting, TheBuiltGuideAndItsPicturesAreBesideTheWizard)
{
    const QDir bin(qEnvironmentVariable("TESSORY_BIN", TESSORY_BIN_DIR));
    QFile guide(bin.filePath("Help.html"));
    ASSERT_TRUE(guide.open(QIODevice::ReadOnly)) << qPrintable(guide.fileName());
    const QString html = QString::fromUtf8(guide.readAll());
    const QRegularExpression source(QStringLiteral("<img src=\"([^\"]+)\""));
    int pictures = 0;
    for (auto it = source.globalMatch(html); it.hasNext(); ++pictures) {
        const QString file = bin.filePath(it.next().captured(1));
        QImage picture(file);
        EXPECT_FALSE(picture.isNull()) << qPrintable(file);
        // A real window, not an empty grab.
        EXPECT_GT(picture.width(), 300) << qPrintable(file);
    }
    EXPECT_EQ(pictures, 7);
    // Every link inside the guide leads to a part of it.
    for (auto it = QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html); it.hasNext();) {
        const QString id = it.next().captured(1);
        EXPECT_TRUE(html.contains(QStringLiteral("id=\"%1\"").arg(id))) << qPrintable(id);
    }
}
