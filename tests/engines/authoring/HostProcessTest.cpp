// authoring-host as a separate process: its command line, --run, and the
// command script against a fake Kavrel.so that plays the wizard's part.
#include "AuthoringFixture.h"
#include "support/ToolRun.h"

#include "platform/JpegImage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace authoringtest;

namespace {

const QString kScript = QStringLiteral(TESSORY_COMMANDS_DIR "/Tessory - Export to PDF.jsfl");

class HostProcessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureCoreApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        movie = path(QStringLiteral("two scenes.swf"));
        ASSERT_TRUE(twoSceneMovie().save(movie));
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("none"))));
    }

    QString path(const QString &name) const { return tmp.filePath(name); }

    // Without extensions unless a folder is given.
    ToolResult host(QStringList args, const QString &extensions = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("FAKE_KAVREL_DIR"), tmp.path());
        args = QStringList{QStringLiteral("--extensions"), extensions.isEmpty() ? path(QStringLiteral("none")) : extensions} + args;
        return RunTool(qEnvironmentVariable("TESSORY_BIN", TESSORY_BIN_DIR) + QStringLiteral("/authoring-host"), args, env);
    }

    // A script file of its own for each text.
    QString script(const char *text)
    {
        const QString file = path(QStringLiteral("s%1.jsfl").arg(++m_scripts));
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) >= 0);
        return file;
    }

    QTemporaryDir tmp;
    QString movie;
    int m_scripts = 0;
};

TEST_F(HostProcessTest, RunEndsWithTheScriptsOutcome)
{
    const struct {
        QStringList args;
        int exitCode;
        QString out, err;
    } cases[] = {
        {{movie, "--run", script("fl.trace(fl.getDocumentDOM().timelines[1].name);")}, 0, "Beta\n", ""},
        {{"--run", script("fl.trace(fl.getDocumentDOM());")}, 0, "null\n", ""},
        {{movie, "--run", script("var x = 1;\nthrow new Error('boom');")}, 1, "", path("s3.jsfl") + ":2: Error: boom"},
        {{movie, "--run", script("\n\nfl.getDocumentDOM().close();")}, 1, "",
         path("s4.jsfl") + ":3: TypeError: document.close is not available in this authoring host."},
        {{movie, "--run", script("alert('Look');")}, 0, "", "Look"},
        {{movie, "--run", path("nothing.jsfl")}, 2, "", "There is no command script \"" + path("nothing.jsfl")},
        {{"--run", "Nothing", "--commands", tmp.path()}, 2, "", "neither as a path nor in \"" + tmp.path()},
        {{movie, "--jump"}, 2, "", "Unknown option \"--jump\". See authoring-host --help."},
        {{movie, movie}, 2, "", "One movie at a time"},
        {{"--run"}, 2, "", "The option --run needs a value."},
        {{path("none"), "--run", script("")}, 1, "", "\"none\" is not a movie file."},
        {{"--help"}, 0, "Usage: authoring-host [MOVIE.swf]", ""},
    };
    for (const auto &c : cases) {
        const ToolResult r = host(c.args);
        SCOPED_TRACE(qPrintable(c.args.join(u' ')));
        EXPECT_EQ(r.exitCode, c.exitCode) << qPrintable(r.err);
        EXPECT_EQ(r.out.left(c.out.size()), c.out);
        EXPECT_TRUE(r.err.contains(c.err)) << qPrintable(r.err);
    }
}

TEST_F(HostProcessTest, ExportScriptServesTheWizardsCalls)
{
    const QString kept = path(QStringLiteral("kept"));
    const ToolResult r = host({movie, QStringLiteral("--run"), kScript, QStringLiteral("--keep-published"), kept},
                              QStringLiteral(FAKE_KAVREL_DIR));
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);

    QFile record(path(QStringLiteral("record.txt")));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(record.readAll()).split(u'\n'),
              QStringList({"checkVersion 1.0", "runUI " + movie + "|40|30|0", "scene Alpha;4;0,2;intro,0,3,mid,3,1",
                           "scene Beta;4;0,3;late,2,2", "ack 1", "ack 2", "ack 3", "ack 4", "ack 5", ""}));

    // getFrame 0 and 3 of Beta, at the profile's size.
    const QRgb expected[] = {kFrameColours[2], qRgb(255, 255, 255)};
    for (int i = 0; i < 2; ++i) {
        const QImage picture = platform::readJpegFile(kept + QStringLiteral("/published-000%1.jpg").arg(i + 1));
        ASSERT_EQ(picture.size(), QSize(64, 48)) << i;
        EXPECT_NEAR(qBlue(picture.pixel(32, 24)), qBlue(expected[i]), 12) << i;
        EXPECT_NEAR(qRed(picture.pixel(32, 24)), qRed(expected[i]), 12) << i;
    }
    EXPECT_FALSE(QFile::exists(kept + QStringLiteral("/published-0003.jpg")));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("pic & frame.jpg"))));
}

TEST_F(HostProcessTest, ExportScriptNeedsAMovie)
{
    const ToolResult r = host({QStringLiteral("--run"), kScript}, QStringLiteral(FAKE_KAVREL_DIR));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QLatin1String("Open a movie first."))) << qPrintable(r.err);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("record.txt")))) << "no wizard may start";
}

} // namespace
