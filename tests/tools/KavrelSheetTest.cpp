// kavrel-sheet run as a user runs it: a separate process, its PDFs read back
// with the poppler tools and qpdf.
#include "engines/flashplayer/SwfWriter.h"
#include "support/RawPdf.h"
#include "support/TestMovies.h"
#include "support/ToolRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class KavrelSheetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureCoreApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        program = qEnvironmentVariable("TESSORY_BIN", TESSORY_BIN_DIR) + "/kavrel-sheet";
        ASSERT_TRUE(QFileInfo(program).isExecutable()) << qPrintable(program);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("TMPDIR", tmp.path());
        // A tool never hands its sheet to a viewer: this opener tells if it did.
        QDir().mkpath(path("fake"));
        QFile opener(path("fake/xdg-open"));
        ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
        opener.write(("#!/bin/sh\necho \"$@\" >> '" + path("viewed") + "'\n").toUtf8());
        opener.close();
        opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner);
        env.insert("PATH", path("fake") + ":" + env.value("PATH"));
        colours = path("colours.swf");
        ASSERT_TRUE(swftest::colourFramesMovie(6, 100, 75).save(colours));
    }

    QString path(const QString &name) const { return tmp.filePath(name); }
    ToolResult run(const QStringList &args, const QByteArray &input = {}) const
    {
        return RunTool(program, args, env, input);
    }
    void writeSettings(const QByteArray &lines) const
    {
        QDir().mkpath(path("config/Omberline"));
        QFile f(path("config/Omberline/Tessory.conf"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[General]\n" + lines);
    }
    static QString info(const QString &pdf, const QString &password = {})
    {
        QStringList args{pdf};
        if (!password.isEmpty())
            args.prepend("-upw"), args.insert(1, password);
        return RunTool("pdfinfo", args).out;
    }
    static QString text(const QString &pdf) { return RunTool("pdftotext", {"-layout", pdf, "-"}).out; }
    // Pictures placed on page p (from 1).
    static int pictures(const QString &pdf, int page)
    {
        const QString list = RunTool("pdfimages", {"-list", "-f", QString::number(page), "-l", QString::number(page), pdf}).out;
        return list.split('\n', Qt::SkipEmptyParts).size() - 2; // two heading lines
    }
    static QString pageSize(const QString &pdf)
    {
        const auto m = QRegularExpression("Page size:\\s+(\\S+ x \\S+) pts").match(info(pdf));
        return m.captured(1);
    }

    QTemporaryDir tmp;
    QString program;
    QString colours;
    QProcessEnvironment env;
    const QString demo = TESSORY_DEMO_MOVIE;
};

TEST_F(KavrelSheetTest, WithoutSettingsTheDemoBecomesAnA4SheetWithLabels)
{
    const QString out = path("demo.pdf");
    const ToolResult r = run({demo, "-o", out});
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.err.isEmpty()) << "silent when standard error is no terminal: " << qPrintable(r.err);
    // One frame from every ten, one picture per page at the fitted size; the
    // page turned to landscape, where the pictures are larger.
    EXPECT_EQ(pageSize(out), "842 x 595");
    const QString all = text(out);
    const int pages = QRegularExpression("Pages:\\s+(\\d+)").match(info(out)).captured(1).toInt();
    EXPECT_GE(pages, 5);
    for (int p = 1; p <= pages; ++p)
        EXPECT_EQ(pictures(out, p), 1) << "page " << p;
    EXPECT_TRUE(all.contains("Frame 1\n") || all.contains("Frame 1 ")) << qPrintable(all);
    EXPECT_TRUE(all.contains("Frame 11"));
    EXPECT_FALSE(all.contains("Frame 2\n"));
    EXPECT_TRUE(info(out).contains(QRegularExpression("Producer:\\s+Tessory v1.0")));
}

TEST_F(KavrelSheetTest, TheWizardsSettingsShapeTheSheetAndOptionsOverrideThem)
{
    writeSettings("PageWidth=297\nPageHeight=420\nPageOrientation=0\nSetFramesPerPage=1\nColumnsPerPage=3\n"
                  "RowsPerPage=2\nNonKeyFrameLabel01=Shot <N>\nNonKeyFrameLabelIndex=0\nFrameFilterVal=1\n");
    const ToolResult fromSettings = run({colours});
    ASSERT_EQ(fromSettings.exitCode, 0) << qPrintable(fromSettings.err);
    const QString out = path("colours.pdf"); // beside the movie, by default
    EXPECT_EQ(pageSize(out), "842 x 1191") << "A3 portrait";
    EXPECT_EQ(pictures(out, 1), 6) << "3 x 2, every frame";
    EXPECT_TRUE(text(out).contains("Shot 6"));

    const ToolResult overridden = run({colours, "-o", path("plain.pdf"), "--no-settings", "--frames", "2,4"});
    ASSERT_EQ(overridden.exitCode, 0) << qPrintable(overridden.err);
    EXPECT_EQ(pageSize(path("plain.pdf")), "842 x 595");
    EXPECT_TRUE(text(path("plain.pdf")).contains("Frame 4"));
    EXPECT_FALSE(text(path("plain.pdf")).contains("Shot"));
    EXPECT_TRUE(overridden.err.isEmpty()) << qPrintable(overridden.err);
    EXPECT_FALSE(QFile::exists(path("viewed"))) << "the built-in defaults view the file; a tool must not";

    const ToolResult grid = run({colours, "-o", path("grid.pdf"), "--columns", "2", "--label", "Take <N>", "--all"});
    ASSERT_EQ(grid.exitCode, 0) << qPrintable(grid.err);
    EXPECT_EQ(pictures(path("grid.pdf"), 1), 4) << "2 columns, the settings' 2 rows";
    EXPECT_TRUE(text(path("grid.pdf")).contains("Take 5"));

    // Absurd values are reported and fall back one by one.
    writeSettings("ColumnsPerPage=100000\nSetFramesPerPage=1\nRowsPerPage=2\nPageWidth=-4\n");
    const ToolResult absurd = run({colours, "-o", path("absurd.pdf"), "--all"});
    ASSERT_EQ(absurd.exitCode, 0) << qPrintable(absurd.err);
    EXPECT_TRUE(absurd.err.contains("warning: The setting ColumnsPerPage of \"100000\"")) << qPrintable(absurd.err);
    EXPECT_TRUE(absurd.err.contains("PageWidth")) << qPrintable(absurd.err);
    EXPECT_EQ(pictures(path("absurd.pdf"), 1), 2) << "1 column (the default), 2 rows";
}

TEST_F(KavrelSheetTest, APasswordProtectsTheFile)
{
    const QString out = path("locked.pdf");
    const ToolResult r = run({colours, "-o", out, "--password", "s3cret", "--encryption", "128", "--no-copying"});
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    EXPECT_NE(RunTool("pdfinfo", {out}).exitCode, 0) << "opens without the password";
    EXPECT_TRUE(info(out, "s3cret").contains("Pages:"));
    const QString encryption = RunTool("qpdf", {"--show-encryption", "--password=s3cret", out}).out;
    EXPECT_TRUE(encryption.contains("R = 3")) << qPrintable(encryption);
    EXPECT_TRUE(encryption.contains("extract for any purpose: not allowed"));
    EXPECT_TRUE(encryption.contains("print high resolution: allowed"));

    // Kept out of the process list: from standard input.
    const ToolResult piped = run({colours, "-o", path("piped.pdf"), "--password-file", "-"}, "from stdin\n");
    ASSERT_EQ(piped.exitCode, 0) << qPrintable(piped.err);
    EXPECT_TRUE(info(path("piped.pdf"), "from stdin").contains("Pages:"));
}

TEST_F(KavrelSheetTest, WrongCommandLinesExitTwoWithOneLine)
{
    const QString out = path("never.pdf");
    const QStringList cases[] = {
        {},
        {colours, colours},
        {colours, "--colour", "red"},
        {colours, "--every", "0"},
        {colours, "--every", "3", "--all"},
        {colours, "--frames", "5-"},
        {colours, "--page", "B99"},
        {colours, "--page", "5x5"},
        {colours, "--orientation", "sideways"},
        {colours, "--margins", "1,2"},
        {colours, "--quality", "0"},
        {colours, "--columns", "2", "--fit"},
        {colours, "--label-color", "zzzzzz"},
        {colours, "--encryption", "64"},
        {colours, "--password", ""},
        {colours, "--label", "x", "--no-labels"},
    };
    for (QStringList args : cases) {
        args << "-o" << out;
        const ToolResult r = run(args);
        EXPECT_EQ(r.exitCode, 2) << qPrintable(args.join(' ') + ": " + r.err);
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1) << qPrintable(args.join(' ') + " -> " + r.err);
        EXPECT_TRUE(lines[0].startsWith("kavrel-sheet: ")) << qPrintable(lines[0]);
        EXPECT_FALSE(QFile::exists(out)) << qPrintable(args.join(' '));
    }
    const ToolResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char *option : {"--every", "--page", "--columns", "--label", "--password", "--no-settings"})
        EXPECT_TRUE(help.out.contains(option)) << option;
    EXPECT_TRUE(help.out.contains("[A4]")) << "the defaults are shown";
}

TEST_F(KavrelSheetTest, FailuresExitOneLeaveNoFileAndKeepTheEarlierOne)
{
    const QString out = path("sheet.pdf");
    QFile::copy(colours, path("notes.swf"));
    QFile notes(path("notes.swf"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly | QIODevice::Truncate));
    notes.write("these are notes, not a movie");
    notes.close();
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.pdf")).constData(), 0600), 0);
    rawpdf::write(QFile::encodeName(path("deep.pdf")).toStdString(), rawpdf::deepPageTree(20000));
    struct Case {
        QStringList args;
        QString says;
    };
    const Case cases[] = {
        {{path("absent.swf")}, "absent.swf"},
        {{path("notes.swf")}, ""},
        {{colours, "--front", path("absent.pdf")}, "absent.pdf"},
        {{colours, "--front", path("fifo.pdf")}, "fifo.pdf"},
        {{colours, "--front", path("deep.pdf")}, "deep.pdf"},
        {{colours, "--margins", "150"}, "do not fit"},
    };
    for (const Case &c : cases) {
        QFile earlier(out);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly | QIODevice::Truncate));
        earlier.write("earlier sheet");
        earlier.close();
        const QStringList before = QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        const ToolResult r = run(c.args + QStringList{"-o", out});
        const QString what = c.args.join(' ');
        EXPECT_EQ(r.exitCode, 1) << qPrintable(what + ": " + r.err);
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1) << qPrintable(what + " -> " + r.err);
        EXPECT_TRUE(lines[0].contains(c.says)) << qPrintable(lines[0]);
        ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
        EXPECT_EQ(earlier.readAll(), QByteArray("earlier sheet")) << qPrintable(what);
        earlier.close();
        EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), before) << qPrintable(what);
    }

    // A read-only sheet, and a folder that is not there.
    ASSERT_TRUE(QFile(out).setPermissions(QFileDevice::ReadOwner));
    EXPECT_EQ(run({colours, "-o", out}).exitCode, 1);
    QFile kept(out);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("earlier sheet"));
    const ToolResult missing = run({colours, "-o", path("no/such/folder/x.pdf")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("x.pdf")) << qPrintable(missing.err);
}

TEST_F(KavrelSheetTest, AFullDiskKeepsTheEarlierSheet)
{
    // 1 MiB with 700 KiB taken: the sheet of pictures at 300 dpi cannot fit.
    const QString disk = path("disk");
    QDir().mkpath(disk);
    if (::geteuid() != 0 || ::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "a small file system needs root to mount";
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount(at.constData()); }
    } unmount{QFile::encodeName(disk)};
    QFile filler(disk + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    filler.write(QByteArray(700 * 1024, 'x'));
    filler.close();
    const QString out = disk + "/sheet.pdf";
    QFile earlier(out);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier sheet");
    earlier.close();

    const ToolResult r = run({demo, "-o", out, "--all", "--resolution", "300", "--quality", "100"});
    EXPECT_EQ(r.exitCode, 1) << qPrintable(r.err);
    EXPECT_FALSE(r.err.isEmpty());
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("earlier sheet"));
    EXPECT_EQ(QDir(disk).entryList(QDir::Files | QDir::Hidden), (QStringList{"filler", "sheet.pdf"}));
}

} // namespace
