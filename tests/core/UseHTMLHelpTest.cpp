#include "core/Global.h"
#include "core/UseHTMLHelp.h"

#include <QDir>
#include <QFile>
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
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    std::vector<Call> calls;
    auto viewer = std::make_unique<RecordingHelp>();
    viewer->calls = &calls;
    TUseHTMLHelp help(std::move(viewer));
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

    QFile f("Help.chm");
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
    EXPECT_EQ(calls[3].file, "Help.chm");
    SetErrorSink(old);
    QDir::setCurrent(oldCwd);
}
