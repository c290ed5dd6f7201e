// kavrel-frames run as a separate process, as a script would run it.
#include "engines/flashplayer/SwfWriter.h"
#include "support/TestMovies.h"
#include "support/ToolRun.h"

#include "platform/FileVersion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace {


struct Outcome {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

SwfWriter colourWriter()
{
    return swftest::colourFramesMovie();
}

QRgb centre(const QImage &image)
{
    return image.pixel(image.width() / 2, image.height() / 2);
}

class KavrelFramesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureCoreApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        program = qEnvironmentVariable("TESSORY_BIN", TESSORY_BIN_DIR) + "/kavrel-frames";
        ASSERT_TRUE(QFileInfo(program).isExecutable()) << qPrintable(program);
        colours = path("colours.swf");
        ASSERT_TRUE(colourWriter().save(colours));
    }

    QString path(const QString &name) const { return tmp.filePath(name); }

    Outcome run(const QStringList &args) const
    {
        QProcess p;
        p.start(program, args);
        Outcome r;
        if (!p.waitForStarted(10000) || !p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "kavrel-frames did not finish: " << qPrintable(args.join(' '));
            return r;
        }
        r.crashed = p.exitStatus() != QProcess::NormalExit;
        r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    // "key: value" lines, in order; every line must have that form.
    static QList<std::pair<QString, QString>> facts(const QString &out)
    {
        QList<std::pair<QString, QString>> list;
        EXPECT_TRUE(out.endsWith('\n'));
        for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
            const int colon = line.indexOf(QLatin1String(": "));
            EXPECT_GT(colon, 0) << qPrintable(line);
            list.append({line.left(colon), line.mid(colon + 2)});
        }
        return list;
    }
    static QStringList values(const QList<std::pair<QString, QString>> &facts, const QString &key)
    {
        QStringList found;
        for (const auto &[k, v] : facts)
            if (k == key)
                found << v;
        return found;
    }
    static QString value(const QList<std::pair<QString, QString>> &facts, const QString &key)
    {
        const QStringList found = values(facts, key);
        EXPECT_EQ(found.size(), 1) << qPrintable(key);
        return found.value(0);
    }

    QTemporaryDir tmp;
    QString program;
    QString colours;
};

TEST_F(KavrelFramesTest, InfoGivesTheMovieFactsOneKeyALine)
{
    SwfWriter w;
    w.setVersion(9).setFrameSize({0, 6400, 0, 4800}).setFrameRate(15.5).setBackgroundColor(10, 20, 250);
    w.defineSceneAndFrameLabelData({{0, "Opening"}, {3, "Close Up"}}, {{0, "start"}, {1, "only\nhere"}});
    w.frameLabel("start").showFrame().showFrame().showFrame().frameLabel("later").showFrame().showFrame().end();
    for (const auto compression : {SwfWriter::Compression::None, SwfWriter::Compression::Lzma}) {
        ASSERT_TRUE(w.save(path("info.swf"), compression));
        const Outcome r = run({path("info.swf"), "--info"});
        ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
        EXPECT_TRUE(r.err.isEmpty()) << qPrintable(r.err);
        const auto map = facts(r.out);
        EXPECT_EQ(value(map, "version"), "9");
        EXPECT_EQ(value(map, "compression"), compression == SwfWriter::Compression::None ? "none" : "lzma");
        EXPECT_EQ(value(map, "stage-width"), "320");
        EXPECT_EQ(value(map, "stage-height"), "240");
        EXPECT_EQ(value(map, "frame-rate"), "15.5");
        EXPECT_EQ(value(map, "frame-count"), "5");
        EXPECT_EQ(value(map, "background"), "#0A14FA");
        EXPECT_EQ(value(map, "scene-count"), "2");
        // Frames count from 1, as --frame does; repeated keys keep their order.
        EXPECT_EQ(values(map, "scene"), (QStringList{"1 Opening", "4 Close Up"}));
        EXPECT_EQ(value(map, "label-count"), "3");
        // The timeline's labels and the one only the scene data names, each
        // once, by frame; a line break in a name cannot split the line.
        EXPECT_EQ(values(map, "label"), (QStringList{"1 start", "2 only\\nhere", "4 later"}));
        EXPECT_EQ(value(map, "warnings"), "0");
    }
}

TEST_F(KavrelFramesTest, InfoSaysWhichScriptsAndPartsAreNotRun)
{
    struct Case {
        const char *what;
        std::function<void(SwfWriter &)> add;
        QString notRun;
        QStringList skippedWords; // one word of each skipped line, in order
    };
    const std::vector<Case> cases = {
        {"no scripts", [](SwfWriter &) {}, "no", {}},
        {"timeline actions only", [](SwfWriter &w) { w.doAction(SwfActions().stop()); }, "no", {}},
        {"other actions",
         [](SwfWriter &w) { w.doAction(SwfActions().stop().record(0x96, QByteArray(2, '\0'))); },
         "yes",
         {"frame scripts"}},
        {"ActionScript 3", [](SwfWriter &w) { w.addTag(82, QByteArray(8, '\0')).addTag(76, QByteArray(2, '\0')); },
         "yes", {"ActionScript 3 code", "class lists"}},
        {"initialisation", [](SwfWriter &w) { w.addTag(59, QByteArray(3, '\0')); }, "yes", {"initialisation"}},
    };
    for (const Case &c : cases) {
        SwfWriter w;
        w.setVersion(9).setFrameSize({0, 2000, 0, 2000});
        c.add(w);
        w.showFrame().end();
        ASSERT_TRUE(w.save(path("scripts.swf")));
        const Outcome r = run({path("scripts.swf"), "--info"});
        ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
        const auto map = facts(r.out);
        EXPECT_EQ(value(map, "scripts-not-run"), c.notRun) << c.what;
        const QStringList skipped = values(map, "skipped");
        ASSERT_EQ(skipped.size(), c.skippedWords.size()) << c.what << ": " << qPrintable(skipped.join(" | "));
        for (qsizetype i = 0; i < skipped.size(); ++i)
            EXPECT_TRUE(skipped[i].contains(c.skippedWords[i])) << c.what << ": " << qPrintable(skipped[i]);
    }
}

TEST_F(KavrelFramesTest, InfoNamesOneSceneWhenTheMovieHasNone)
{
    const Outcome r = run({colours, "--info"});
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    const auto map = facts(r.out);
    EXPECT_EQ(value(map, "scene-count"), "1");
    EXPECT_EQ(values(map, "scene"), QStringList{"1 Scene 1"});
    EXPECT_EQ(value(map, "label-count"), "0");
    EXPECT_EQ(value(map, "frame-count"), "3");
}

TEST_F(KavrelFramesTest, FrameNIsThePictureAfterNFramesLoopingPastTheEnd)
{
    // (N - 1) mod 3 picks the colour.
    const std::pair<QString, int> cases[] = {{"1", 0}, {"2", 1}, {"3", 2}, {"4", 0}, {"8", 1}, {"1048576", 0}};
    for (const auto &[n, colour] : cases) {
        const QString out = path("f" + n + ".png");
        const Outcome r = run({colours, "--frame", n, "--out", out});
        ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
        EXPECT_TRUE(r.out.isEmpty());
        QImage image(out, "PNG");
        ASSERT_FALSE(image.isNull()) << qPrintable(n);
        EXPECT_EQ(image.size(), QSize(40, 30));
        EXPECT_EQ(centre(image), swftest::frameColour(colour)) << "frame " << qPrintable(n);
    }
}

TEST_F(KavrelFramesTest, ScaleMultipliesTheStageSize)
{
    const std::pair<QString, QSize> cases[] = {{"2.5", {100, 75}}, {"0.5", {20, 15}}, {"0.01", {1, 1}}};
    for (const auto &[scale, size] : cases) {
        const Outcome r = run({colours, "--frame=2", "--out=" + path("s.png"), "--scale", scale});
        ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
        const QImage image(path("s.png"));
        EXPECT_EQ(image.size(), size) << qPrintable(scale);
        EXPECT_EQ(centre(image), swftest::frameColour(1));
    }
}

TEST_F(KavrelFramesTest, LowQualityDrawsWithoutAntiAliasing)
{
    ASSERT_TRUE(swftest::blackTriangleMovie().save(path("tri.swf")));

    const auto distinctColours = [&](const QString &quality) {
        const QString out = path("tri-" + quality + ".png");
        const Outcome r = run({path("tri.swf"), "--frame", "1", "--out", out, "--scale", "3", "--stage-quality", quality});
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
        const QImage image(out);
        QSet<QRgb> seen;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                seen.insert(image.pixel(x, y));
        return seen.size();
    };
    EXPECT_EQ(distinctColours("low"), 2);
    EXPECT_GT(distinctColours("high"), 2);
    EXPECT_GT(distinctColours("BEST"), 2);
}

TEST_F(KavrelFramesTest, FramesWritesOneNumberedPictureEach)
{
    const QString dir = path("deep/er/frames"); // created with its parents
    const Outcome r = run({colours, "--frames", "2-5", "--out", dir});
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    const QStringList names = QDir(dir).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(names, (QStringList{"frame-0002.png", "frame-0003.png", "frame-0004.png", "frame-0005.png"}));
    const int expected[] = {1, 2, 0, 1};
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(centre(QImage(dir + "/" + names[i])), swftest::frameColour(expected[i])) << qPrintable(names[i]);

    // Numbers past four digits widen every name of the run, so they sort.
    const Outcome wide = run({colours, "--frames", "9999-10001", "--out", path("wide")});
    ASSERT_EQ(wide.exitCode, 0) << qPrintable(wide.err);
    EXPECT_EQ(QDir(path("wide")).entryList(QDir::Files, QDir::Name),
              (QStringList{"frame-09999.png", "frame-10000.png", "frame-10001.png"}));
    EXPECT_EQ(centre(QImage(path("wide/frame-10000.png"))), swftest::frameColour((10000 - 1) % 3));
}

TEST_F(KavrelFramesTest, UsageErrorsAreOneSentenceAndExitTwo)
{
    const QString out = path("never.png");
    const QStringList cases[] = {
        {},
        {colours},
        {"--frame", "1", "--out", out},
        {colours, colours, "--info"},
        {colours, "--info", "--frame", "1"},
        {colours, "--frame", "0", "--out", out},
        {colours, "--frame", "-2", "--out", out},
        {colours, "--frame", "1.5", "--out", out},
        {colours, "--frame", "1048577", "--out", out},
        {colours, "--frame", "x", "--out", out},
        {colours, "--frame", "1"},
        {colours, "--frame"},
        {colours, "--frame", "1", "--frame", "2", "--out", out},
        {colours, "--frames", "5-3", "--out", out},
        {colours, "--frames", "3", "--out", out},
        {colours, "--frames", "1-2-3", "--out", out},
        {colours, "--frame", "1", "--out", out, "--scale", "0"},
        {colours, "--frame", "1", "--out", out, "--scale", "-1"},
        {colours, "--frame", "1", "--out", out, "--scale", "nan"},
        {colours, "--frame", "1", "--out", out, "--scale", "inf"},
        {colours, "--frame", "1", "--out", out, "--stage-quality", "ultra"},
        {colours, "--info", "--out", out},
        {colours, "--info=yes"},
        {colours, "--colour", "red", "--info"},
        {colours, "-o", out, "--info"},
        // The movie is fine, the size asked for is not.
        {colours, "--frame", "1", "--out", out, "--scale", "1000"},
        {colours, "--frame", "1", "--out", path("x.bmp")},
        {colours, "--frame", "1", "--out", out, "--jpeg-quality", "50"},
        {colours, "--frame", "1", "--out", path("x.jpg"), "--jpeg-quality", "0"},
        {colours, "--frames", "1-2", "--out", path("d"), "--format", "gif"},
    };
    for (const QStringList &args : cases) {
        const Outcome r = run(args);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, 2) << qPrintable(args.join(' '));
        EXPECT_TRUE(r.out.isEmpty()) << qPrintable(args.join(' '));
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1) << qPrintable(args.join(' ') + " -> " + r.err);
        EXPECT_TRUE(lines[0].startsWith("kavrel-frames: ")) << qPrintable(lines[0]);
        EXPECT_TRUE(lines[0].endsWith('.')) << qPrintable(lines[0]);
        EXPECT_FALSE(QFile::exists(out)) << qPrintable(args.join(' '));
    }
}

TEST_F(KavrelFramesTest, HelpAndVersion)
{
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("frame-0001.png"));
    EXPECT_TRUE(help.out.contains("--stage-quality"));
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.trimmed(), "kavrel-frames 1.0.0.0");
    // The same version is stamped into the file.
    const auto stamp = platform::readFileVersion(program);
    ASSERT_TRUE(stamp.has_value());
    EXPECT_EQ(*stamp, (platform::FileVersion{1, 0, 0, 0}));
}

TEST_F(KavrelFramesTest, MoviesThatCannotBeReadExitOne)
{
    QFile text(path("notes.swf"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are notes, not a movie");
    text.close();
    for (const QString &movie : {path("notes.swf"), path("absent.swf"), tmp.path()}) {
        const Outcome r = run({movie, "--frame", "1", "--out", path("x.png")});
        EXPECT_EQ(r.exitCode, 1) << qPrintable(movie);
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_FALSE(QFile::exists(path("x.png")));
    }
}

TEST_F(KavrelFramesTest, AStageTooLargeToDrawExitsOneAndNamesAScaleThatFits)
{
    SwfWriter w;
    w.setVersion(10).setFrameSize({0, 16000 * 20, 0, 16000 * 20}).showFrame().end();
    const QString movie = path("vast.swf");
    ASSERT_TRUE(w.save(movie));
    const Outcome r = run({movie, "--frame", "1", "--out", path("x.png")});
    EXPECT_EQ(r.exitCode, 1) << "the movie, not the command line, is at fault";
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << qPrintable(r.err);
    EXPECT_TRUE(lines[0].contains("16000 x 16000 pixels")) << qPrintable(lines[0]);
    EXPECT_TRUE(lines[0].contains("--scale 0.375 or less")) << qPrintable(lines[0]);
    EXPECT_FALSE(lines[0].contains("e+")) << "whole numbers, not exponents: " << qPrintable(lines[0]);
    EXPECT_FALSE(QFile::exists(path("x.png")));
}

TEST_F(KavrelFramesTest, OutputThatCannotBeWrittenExitsOne)
{
    const Outcome file = run({colours, "--frame", "1", "--out", path("no/such/folder/x.png")});
    EXPECT_EQ(file.exitCode, 1);
    EXPECT_TRUE(file.err.contains("x.png")) << qPrintable(file.err);
    // A folder where a file already stands.
    const Outcome dir = run({colours, "--frames", "1-2", "--out", colours});
    EXPECT_EQ(dir.exitCode, 1);
    EXPECT_FALSE(dir.err.isEmpty());
}

TEST_F(KavrelFramesTest, JpegPicturesByTheirNameOrFormat)
{
    for (const char *quality : {"90", "10"}) {
        const QString out = path(QString("q%1.jpg").arg(quality));
        const Outcome r = run({colours, "--frame", "2", "--out", out, "--scale", "4", "--jpeg-quality", quality});
        ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.read(2) == QByteArray("\xFF\xD8")) << "a JPEG";
        EXPECT_LT(std::abs(qRed(centre(QImage(out))) - qRed(swftest::frameColour(1))), 8);
    }
    EXPECT_LT(QFileInfo(path("q10.jpg")).size(), QFileInfo(path("q90.jpg")).size());
    const Outcome frames = run({colours, "--frames", "1-2", "--out", path("jpegs"), "--format", "jpg"});
    ASSERT_EQ(frames.exitCode, 0) << qPrintable(frames.err);
    EXPECT_EQ(QDir(path("jpegs")).entryList(QDir::Files), (QStringList{"frame-0001.jpg", "frame-0002.jpg"}));
}

TEST_F(KavrelFramesTest, ARangePastTheLastFrameSaysItStartsOver)
{
    const Outcome r = run({colours, "--frames", "2-5", "--out", path("loop")});
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains("note: the movie has 3 frames")) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains("4 pictures")) << qPrintable(r.err);
    EXPECT_TRUE(run({colours, "--frames", "1-3", "--out", path("whole")}).err.isEmpty());
}

TEST_F(KavrelFramesTest, DamagedMovieWarnsButStillDraws)
{
    QByteArray bytes = colourWriter().bytes();
    bytes.chop(9); // the last frame's tags and the End tag break off
    QFile f(path("cut.swf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    const Outcome r = run({path("cut.swf"), "--frame", "1", "--out", path("cut.png")});
    EXPECT_EQ(r.exitCode, 0);
    // Where, in the movie's terms, then what.
    EXPECT_TRUE(r.err.contains(QRegularExpression("warning: frame 3, PlaceObject2 tag at byte \\d+: .*cut off")))
        << qPrintable(r.err);
    EXPECT_EQ(centre(QImage(path("cut.png"))), swftest::frameColour(0));
    const Outcome info = run({path("cut.swf"), "--info"});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_NE(value(facts(info.out), "warnings"), "0");
}

TEST_F(KavrelFramesTest, RendersEveryFrameOfTheDemonstrationMovie)
{
    const QString demo = TESSORY_DEMO_MOVIE;
    ASSERT_TRUE(QFile::exists(demo)) << qPrintable(demo);
    const auto map = facts(run({demo, "--info"}).out);
    const int count = value(map, "frame-count").toInt();
    ASSERT_GT(count, 0);
    const Outcome r = run({demo, "--frames", QString("1-%1").arg(count), "--out", path("demo"), "--scale", "0.25"});
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.err.isEmpty()) << qPrintable(r.err);
    const QStringList names = QDir(path("demo")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(names.size(), count);
    // It is animated: consecutive pictures differ.
    QImage previous;
    int changes = 0;
    for (const QString &name : names) {
        const QImage image(path("demo/" + name));
        ASSERT_EQ(image.size(), QSize(138, 100));
        changes += previous.isNull() || image != previous;
        previous = image;
    }
    EXPECT_EQ(changes, count);
}

} // namespace
