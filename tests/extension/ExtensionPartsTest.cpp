// The pieces of the extension library that need no second process.
#include "core/Global.h"
#include "core/Startup.h"
#include "extension/HostWindowFilter.h"
#include "extension/PublishProfile.h"
#include "extension/SceneList.h"
#include "extension/WizardLaunch.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimerEvent>
#include <gtest/gtest.h>

using namespace extension;

TEST(SceneList, RoundTripsThroughTheWizardsReader)
{
    const QString quote = QStringLiteral("Say \"hi\"");
    struct Case {
        std::vector<SceneEntry> scenes;
        QString expectedName; // of the first scene, as the wizard reads it
    } cases[] = {
        {{{QStringLiteral("Scene 1"), 10, {0, 5}, {{QStringLiteral("intro"), 0, 5}}}}, QStringLiteral("Scene 1")},
        {{{quote, 3, {}, {}}, {QStringLiteral("Zwei ä"), 4, {0}, {{quote, 1, 2}, {QString(), 3, 1}}}}, quote},
        // Terminators inside a name would shift the fields after them.
        {{{QStringLiteral("a\x02" "b\x03" "c\x04" "d"), 2, {1}, {}}}, QStringLiteral("a b c d")},
    };
    for (const Case &c : cases) {
        const TSceneInfoArr read = ParseSceneList(encodeSceneList(c.scenes));
        ASSERT_EQ(read.size(), qsizetype(c.scenes.size()));
        EXPECT_EQ(read[0].Name, c.expectedName);
        for (size_t i = 0; i < c.scenes.size(); ++i) {
            const SceneEntry &want = c.scenes[i];
            EXPECT_EQ(read[i].FrameCount, want.frameCount);
            EXPECT_EQ(std::vector<int32_t>(read[i].KeyFrames.begin(), read[i].KeyFrames.end()), want.keyFrames);
            for (const SceneLabel &label : want.labels)
                EXPECT_EQ(read[i].FrameLabels.value(label.start), QString(label.name).replace(u'\x01', u'"'));
        }
    }
    EXPECT_FALSE(encodeSceneList({}).contains(QChar(0x03)));
}

TEST(SceneList, MatchesTheDocumentedExample)
{
    const QString expected = QStringLiteral("Scene 1\x03" "10\x03" "0\x04" "5\x04\x03" "intro\x04" "0\x04" "5\x04\x03\x02");
    EXPECT_EQ(encodeSceneList({{QStringLiteral("Scene 1"), 10, {0, 5}, {{QStringLiteral("intro"), 0, 5}}}}), expected);
}

TEST(WizardLaunch, ArgumentsKeepEveryValueWhole)
{
    LaunchValues v{QStringLiteral("/opt/Tess ory/Kavrel"), QString(), 550, 400,
                   encodeSceneList({{QStringLiteral("S\"1"), 2, {0}, {}}}), 1, 4242};
    const QString documents[] = {QStringLiteral("/home/ä ö/My \"best\" & 'movie'.fla"),
                                 QStringLiteral("/tmp/plain.fla"), QStringLiteral("/tmp/tab\there.fla")};
    for (const QString &document : documents) {
        v.document = document;
        const QStringList args = wizardArguments(v);
        EXPECT_EQ(args, (QStringList{v.program, document, "550", "400", v.sceneList, "1", "4242"}));
    }
    EXPECT_EQ(formatCommandLine(v).count(u'"'), 14);
    EXPECT_EQ(wizardPathOf(QStringLiteral("/x/bin/Kavrel.so")), QStringLiteral("/x/bin/Kavrel"));
    // An empty value is not an argument, as the wizard's rule has it.
    v.document.clear();
    EXPECT_EQ(wizardArguments(v).size(), 6);
}

TEST(PublishProfile, TextLinesAndEscaping)
{
    const QString text = profileText(QStringLiteral("/tmp/a&b <c>/VELUMOR"), 400, 300, 50);
    const QStringList lines = text.split(u'\n');
    ASSERT_EQ(lines.size(), 27);
    EXPECT_FALSE(text.endsWith(u'\n'));
    EXPECT_EQ(lines[0], QStringLiteral("<?xml version=\"1.0\"?>"));
    EXPECT_EQ(lines[15], QStringLiteral("\t\t\t<jpegFileName>/tmp/a&amp;b &lt;c&gt;/VELUMOR.jpg</jpegFileName>"));
    EXPECT_EQ(lines[18], QStringLiteral("\t\t\t<Width>400</Width>"));
    EXPECT_EQ(lines[19], QStringLiteral("\t\t\t<Height>300</Height>"));
    EXPECT_EQ(lines[23], QStringLiteral("\t\t\t<Quality>50</Quality>"));
    EXPECT_EQ(lines[26], QStringLiteral("\t\t</flash_profile>"));
    EXPECT_EQ(xmlEscaped(QStringLiteral("\"'")), QStringLiteral("&quot;&apos;"));
    EXPECT_EQ(profileUri(QStringLiteral("/tmp/x y/VELUMOR.xml")), QStringLiteral("file:///tmp/x y/VELUMOR.xml"));
    EXPECT_EQ(writeProfile(QStringLiteral("/nonexistent-folder/VELUMOR.xml"), text), ProfileWrite::CannotOpen);
}

namespace {

// Records what reaches it past the filter.
class Recorder : public QWidget {
public:
    std::vector<QEvent::Type> seen;
    bool event(QEvent *e) override
    {
        seen.push_back(e->type());
        return QWidget::event(e);
    }
};

} // namespace

TEST(HostWindowFilter, AppliesTheTableOnlyWhileTheRunIsActive)
{
    // Gone at the end: host processes forked by later tests must not
    // inherit an application and show boxes nobody can close.
    int argc = 1;
    char arg0[] = "extension_tests";
    char *argv[] = {arg0, nullptr};
    QApplication app(argc, argv);
    QWidget host;
    host.setObjectName(QLatin1String(kHostWindowName));
    auto *child = new Recorder;
    child->setParent(&host);
    bool active = false;
    int broughtForward = 0;
    HostWindowFilter filter(&host, [&] { return active; }, [&] { ++broughtForward; });
    qApp->installEventFilter(&filter);
    host.show();
    EXPECT_EQ(findHostWindow(), &host);

    const QPointF at(1, 1);
    struct Case {
        bool active;
        std::function<QEvent *()> make;
        bool reaches;
        int forward;
    } cases[] = {
        {true, [&] { return new QMouseEvent(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, {}); }, false, 1},
        {true, [&] { return new QMouseEvent(QEvent::MouseMove, at, at, Qt::NoButton, {}, {}); }, false, 0},
        {true, [] { return new QEvent(QEvent::WindowActivate); }, false, 0}, // a child: no second answer
        {true, [] { return new QTimerEvent(1); }, true, 0},
        {true, [] { return new QEvent(QEvent::UpdateRequest); }, true, 0},
        {true, [] { return new QEvent(QEvent::Resize); }, false, 0},
        {false, [&] { return new QMouseEvent(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, {}); }, true, 0},
    };
    for (const Case &c : cases) {
        active = c.active;
        child->seen.clear();
        broughtForward = 0;
        std::unique_ptr<QEvent> e(c.make());
        QCoreApplication::sendEvent(child, e.get());
        const bool reached = std::find(child->seen.begin(), child->seen.end(), e->type()) != child->seen.end();
        EXPECT_EQ(reached, c.reaches) << e->type();
        EXPECT_EQ(broughtForward, c.forward) << e->type();
    }
    active = true;
    EXPECT_FALSE(host.close());
    EXPECT_TRUE(host.isVisible());
    active = false;
    EXPECT_TRUE(host.close());
}
