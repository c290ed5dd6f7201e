// The wizard program run as separate processes, as a user starts it.
#include "engines/flashplayer/SwfWriter.h"

#include "platform/Endpoint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace {
class ProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char arg0[] = "program_tests";
        static char *argv[] = {arg0, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        // The test and the programs must agree on the private folder.
        qputenv("TMPDIR", tmp.path().toUtf8());
        program = qEnvironmentVariable("TESSORY_BIN", TESSORY_BIN_DIR) + "/Kavrel";
        ASSERT_TRUE(QFile::exists(program)) << qPrintable(program);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TMPDIR", tmp.path());
        env.insert("XDG_CONFIG_HOME", tmp.path() + "/config");
        QDir().mkpath(tmp.path() + "/run");
        QFile::setPermissions(tmp.path() + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert("XDG_RUNTIME_DIR", tmp.path() + "/run"); // keeps Qt quiet, so silence can be checked
    }

    void TearDown() override
    {
        for (auto &p : started)
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
    }

    QProcess *start(const QStringList &args, const QProcessEnvironment &e)
    {
        started.push_back(std::make_unique<QProcess>());
        QProcess *p = started.back().get();
        p->setProcessEnvironment(e);
        p->start(program, args);
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }
    QProcess *start(const QStringList &args = {}) { return start(args, env); }

    QString settingsText() const
    {
        QFile f(tmp.path() + "/config/Omberline/Tessory.conf");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QString writeMovie(const QString &name)
    {
        const QString path = tmp.path() + "/" + name;
        SwfWriter w;
        w.setFrameSize({0, 11000, 0, 8000}).showFrame().showFrame().end();
        EXPECT_TRUE(w.save(path));
        return path;
    }

    QTemporaryDir tmp;
    QString program;
    QProcessEnvironment env;
    std::vector<std::unique_ptr<QProcess>> started;
    std::unique_ptr<platform::IEndpointClient> client = platform::makeEndpointClient();
};
} // namespace

TEST_F(ProgramTest, SecondStartHandsItsMovieToTheFirstAndEnds)
{
    const QString movie = writeMovie("other.swf");
    QProcess *first = start();
    ASSERT_TRUE(client->waitForInputIdle(first->processId(), 20000));
    const auto before = client->rectangle(first->processId());
    ASSERT_TRUE(before);

    QProcess *second = start({movie});
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);

    // The first wizard now shows the capture step (a taller window) with the movie.
    const auto after = client->rectangle(first->processId());
    ASSERT_TRUE(after);
    EXPECT_GE(after->height(), 452);
    EXPECT_NE(*after, *before);

    ::kill(pid_t(first->processId()), SIGTERM); // ends like Close: settings are saved
    ASSERT_TRUE(first->waitForFinished(20000));
    EXPECT_EQ(first->exitCode(), 0);
    const QString conf = settingsText();
    EXPECT_TRUE(conf.contains("SWFFile01=" + movie)) << qPrintable(conf);
    EXPECT_TRUE(conf.contains("ShowHints=1")) << qPrintable(conf);
    EXPECT_TRUE(conf.contains("ImageResolution=2")) << qPrintable(conf);
    // No layout was ever valid: the page values are not written.
    EXPECT_FALSE(conf.contains("PageWidth=")) << qPrintable(conf);
}

TEST_F(ProgramTest, AKilledWizardDoesNotBlockTheNextStart)
{
    QProcess *first = start();
    ASSERT_TRUE(client->waitForInputIdle(first->processId(), 20000));
    first->kill();
    ASSERT_TRUE(first->waitForFinished(5000));

    QProcess *next = start();
    EXPECT_TRUE(client->waitForInputIdle(next->processId(), 20000)) << "the next wizard was refused";
    EXPECT_EQ(next->state(), QProcess::Running);
}

TEST_F(ProgramTest, ASettingsFileThatIsAFifoNeitherHangsStartUpNorIsReplaced)
{
    QDir().mkpath(tmp.path() + "/config/Omberline");
    const QByteArray fifo = QFile::encodeName(tmp.path() + "/config/Omberline/Tessory.conf");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    QProcess *p = start();
    ASSERT_TRUE(client->waitForInputIdle(p->processId(), 20000));
    // Its window answers once the wizard runs.
    ASSERT_TRUE(client->rectangle(p->processId())) << "no window";
    ::kill(pid_t(p->processId()), SIGTERM);
    ASSERT_TRUE(p->waitForFinished(20000));
    EXPECT_EQ(p->exitCode(), 0);
    EXPECT_TRUE(p->readAllStandardError().contains("is not a regular file"));
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ProgramTest, FlaLaunchWithoutTheExtensionLibraryEndsSilently)
{
    // The wizard alone in a folder: the library it looks for beside itself is missing.
    const QString alone = tmp.path() + "/alone/Kavrel";
    ASSERT_TRUE(QDir().mkpath(tmp.path() + "/alone"));
    ASSERT_TRUE(QFile::copy(program, alone));
    program = alone;
    const QString scenes = QString("Scene 1") + QChar(3) + "2" + QChar(3) + QChar(3) + QChar(3) + QChar(2);
    QProcess *p = start({"/docs/intro.fla", "550", "400", scenes, "0", "1"});
    ASSERT_TRUE(p->waitForFinished(20000));
    EXPECT_EQ(p->exitCode(), 1);
    EXPECT_TRUE(p->readAllStandardError().trimmed().isEmpty());
    EXPECT_TRUE(settingsText().isEmpty());
}

TEST_F(ProgramTest, FlaLaunchWithANonNumericSizeSaysWhatIsWrong)
{
    const QString scenes = QString("Scene 1") + QChar(3) + "2" + QChar(3) + QChar(3) + QChar(3) + QChar(2);
    QProcess *p = start({"/docs/intro.fla", "wide", "400", scenes, "0", "1"});
    QByteArray err;
    for (int i = 0; i < 100 && !err.contains("stage width"); ++i) {
        p->waitForReadyRead(200);
        err += p->readAllStandardError();
    }
    EXPECT_TRUE(err.contains("unreadable stage width")) << err.constData();
}

TEST_F(ProgramTest, WithoutADisplayItSaysWhatItNeeds)
{
    QProcessEnvironment bare = env;
    for (const char *v : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        bare.remove(v);
    QProcess *p = start({}, bare);
    ASSERT_TRUE(p->waitForFinished(10000));
    EXPECT_EQ(p->exitCode(), 2);
    EXPECT_TRUE(p->readAllStandardError().contains("graphical display"));
}

TEST_F(ProgramTest, HelpPrintsBothLaunchFormsWithoutOpeningTheWizard)
{
    // No display either: the usage needs none.
    QProcessEnvironment bare = env;
    for (const char *v : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        bare.remove(v);
    for (const char *option : {"--help", "-h"}) {
        QProcess *p = start({option}, bare);
        ASSERT_TRUE(p->waitForFinished(10000));
        EXPECT_EQ(p->exitCode(), 0) << option;
        const QByteArray out = p->readAllStandardOutput();
        EXPECT_TRUE(out.contains("Kavrel [MOVIE.swf]")) << out.constData();
        EXPECT_TRUE(out.contains("Kavrel DOCUMENT WIDTH HEIGHT SCENES CURRENT-SCENE WINDOW")) << out.constData();
        EXPECT_TRUE(settingsText().isEmpty()) << "the wizard ran";
    }
}
