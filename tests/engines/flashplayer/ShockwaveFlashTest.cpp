// The Flash Player control as the capture step uses it: its properties,
// playing, painting and the paint hook.
#include "engines/flashplayer/ShockwaveFlash.h"

#include "engines/flashplayer/SwfWriter.h"
#include "support/TestMovies.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QRgb kColours[] = {qRgb(200, 30, 30), qRgb(30, 160, 40), qRgb(40, 60, 210), qRgb(230, 200, 20)};

// One full-stage rectangle per frame, each frame in its own colour, over a
// grey background.
QByteArray colourMovie(int frames, double rate = 12, int width = 100, int height = 50)
{
    SwfWriter w;
    w.setFrameSize({0, width * 20, 0, height * 20}).setFrameRate(rate).setBackgroundColor(128, 128, 128);
    for (int i = 0; i < frames; ++i) {
        const QRgb c = kColours[i % 4];
        SwfShape box;
        box.styles.fills = {SwfFillStyle::solid(uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c)))};
        box.setStyles(std::nullopt, 1u).moveTo(0, 0).polygon(
            {{width * 20, 0}, {0, height * 20}, {-width * 20, 0}, {0, -height * 20}});
        w.defineShape(1, uint16_t(i + 1), {0, width * 20, 0, height * 20}, box);
    }
    for (int i = 0; i < frames; ++i)
        w.placeObject2(SwfPlace{.depth = 1, .move = i > 0, .characterId = uint16_t(i + 1)}).showFrame();
    w.end();
    return w.bytes();
}

// One main frame holding a sprite that shows the first three colours in
// turn, as colourMovie's frames do.
QByteArray oneFrameSpriteMovie(double rate)
{
    SwfWriter w;
    w.setFrameSize({0, 2000, 0, 1000}).setFrameRate(rate).setBackgroundColor(128, 128, 128);
    SwfWriter sprite;
    for (int i = 0; i < 3; ++i) {
        const QRgb c = kColours[i];
        SwfShape box;
        box.styles.fills = {SwfFillStyle::solid(uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c)))};
        box.setStyles(std::nullopt, 1u).moveTo(0, 0).polygon({{2000, 0}, {0, 1000}, {-2000, 0}, {0, -1000}});
        w.defineShape(1, uint16_t(i + 1), {0, 2000, 0, 1000}, box);
        sprite.placeObject2(SwfPlace{.depth = 1, .move = i > 0, .characterId = uint16_t(i + 1)}).showFrame();
    }
    sprite.end();
    w.defineSprite(10, sprite).placeObject2(SwfPlace{.depth = 1, .characterId = 10}).showFrame().end();
    return w.bytes();
}

// A movie with nothing placed: only its background shows.
QByteArray emptyMovie(uint8_t r, uint8_t g, uint8_t b)
{
    SwfWriter w;
    w.setFrameSize({0, 2000, 0, 2000}).setBackgroundColor(r, g, b).showFrame().end();
    return w.bytes();
}

QRgb centre(const QImage &image)
{
    return image.pixel(image.width() / 2, image.height() / 2);
}

} // namespace

class ShockwaveFlashTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString save(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void emptyControlShowsOnlyItsBackground()
    {
        TShockwaveFlash flash;
        QCOMPARE(flash.Movie(), QString());
        QCOMPARE(flash.TotalFrames(), 0);
        QCOMPARE(flash.FrameNum(), 0);
        flash.SetFrameNum(3);
        QCOMPARE(flash.FrameNum(), 0);
        flash.Play();
        QVERIFY(!flash.IsPlaying());
        QCOMPARE(centre(flash.PaintToImage(QSize(40, 30))), qRgb(255, 255, 255));
        QVERIFY(flash.SetBGColor("#102030"));
        QCOMPARE(centre(flash.PaintToImage(QSize(40, 30))), qRgb(0x10, 0x20, 0x30));
        QVERIFY(flash.PaintToImage(QSize(0, 10)).isNull());
    }

    void loadingShowsTheFirstFrameStopped()
    {
        TShockwaveFlash flash;
        const QString path = save("four.swf", colourMovie(4));
        QSignalSpy changed(&flash, &TShockwaveFlash::FrameChanged);
        QVERIFY(flash.SetMovie(path));
        QCOMPARE(flash.Movie(), path);
        QCOMPARE(flash.property("Movie").toString(), path);
        QCOMPARE(flash.TotalFrames(), 4);
        QCOMPARE(flash.property("TotalFrames").toInt(), 4);
        QCOMPARE(flash.FrameNum(), 0);
        QVERIFY(!flash.IsPlaying());
        QVERIFY(flash.MovieError().isEmpty());
        QVERIFY(flash.MovieWarnings().isEmpty());
        QCOMPARE(flash.StageSize(), QSize(100, 50));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), 0);
        QCOMPARE(centre(flash.PaintToImage(QSize(100, 50))), kColours[0]);

        // A second movie starts again at its first frame, and stops playing.
        flash.SetFrameNum(2);
        flash.Play();
        QVERIFY(flash.SetMovie(save("two.swf", colourMovie(2))));
        QCOMPARE(flash.FrameNum(), 0);
        QCOMPARE(flash.TotalFrames(), 2);
        QVERIFY(!flash.IsPlaying());

        // An empty path unloads.
        QVERIFY(flash.SetMovie(QString()));
        QCOMPARE(flash.TotalFrames(), 0);
        QCOMPARE(flash.Movie(), QString());
    }

    void unreadableMovieLeavesTheControlEmpty_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("create");
        QTest::newRow("not a movie") << QByteArray("GIF89a, not a movie at all") << true;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("header only") << QByteArray("FWS\x0a", 4) << true;
        QTest::newRow("missing file") << QByteArray() << false;
    }

    void unreadableMovieLeavesTheControlEmpty()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, create);
        TShockwaveFlash flash;
        QVERIFY(flash.SetMovie(save("good.swf", colourMovie(3))));
        flash.SetFrameNum(1);
        flash.Play();
        QSignalSpy changed(&flash, &TShockwaveFlash::FrameChanged);
        const QString path = create ? save("bad.swf", bytes) : m_dir.filePath("absent.swf");
        QVERIFY(!flash.SetMovie(path));
        // Watchers learn that the frame they showed is gone.
        QVERIFY(!changed.isEmpty());
        QCOMPARE(changed.last().at(0).toInt(), 0);
        QCOMPARE(flash.TotalFrames(), 0);
        QCOMPARE(flash.FrameNum(), 0);
        QCOMPARE(flash.Movie(), QString());
        QVERIFY(!flash.IsPlaying());
        // One sentence a user can read.
        const QString error = flash.MovieError();
        QVERIFY(!error.isEmpty());
        QVERIFY2(error.endsWith('.') && !error.contains('\n'), qPrintable(error));
        QCOMPARE(centre(flash.PaintToImage(QSize(20, 20))), qRgb(255, 255, 255));
        // The next good movie clears the error.
        QVERIFY(flash.SetMovie(save("good.swf", colourMovie(3))));
        QVERIFY(flash.MovieError().isEmpty());
    }

    void damagedMovieLoadsWithWarnings()
    {
        QByteArray bytes = colourMovie(3);
        bytes.chop(12); // the last tags break off
        TShockwaveFlash flash;
        QVERIFY2(flash.SetMovie(save("cut.swf", bytes)), qPrintable(flash.MovieError()));
        QVERIFY(flash.TotalFrames() >= 1);
        QVERIFY(!flash.MovieWarnings().isEmpty());
    }

    void frameNumIsClampedAndSignalled()
    {
        TShockwaveFlash flash;
        QVERIFY(flash.SetMovie(save("four.swf", colourMovie(4))));
        QSignalSpy changed(&flash, &TShockwaveFlash::FrameChanged);
        flash.SetFrameNum(2);
        QCOMPARE(flash.FrameNum(), 2);
        QCOMPARE(centre(flash.PaintToImage(QSize(100, 50))), kColours[2]);
        flash.SetFrameNum(99);
        QCOMPARE(flash.FrameNum(), 3);
        flash.SetFrameNum(-7);
        QCOMPARE(flash.FrameNum(), 0);
        QVERIFY(flash.setProperty("FrameNum", 1));
        QCOMPARE(flash.property("FrameNum").toInt(), 1);
        QCOMPARE(centre(flash.PaintToImage(QSize(100, 50))), kColours[1]);
        // Setting the frame already shown signals nothing.
        flash.SetFrameNum(1);
        QList<int> frames;
        for (const auto &args : changed)
            frames << args.at(0).toInt();
        QCOMPARE(frames, (QList<int>{2, 3, 0, 1}));
        // Going back shows exactly that frame again.
        flash.SetFrameNum(3);
        flash.SetFrameNum(0);
        QCOMPARE(centre(flash.PaintToImage(QSize(100, 50))), kColours[0]);
    }

    void bgColorReplacesTheMovieBackground()
    {
        TShockwaveFlash flash;
        // Set before loading: it holds for the movie loaded after.
        QVERIFY(flash.SetBGColor("00ff00"));
        QCOMPARE(flash.BGColor(), QString("#00FF00"));
        QVERIFY(flash.SetMovie(save("grey.swf", emptyMovie(128, 128, 128))));
        QCOMPARE(centre(flash.PaintToImage(QSize(50, 50))), qRgb(0, 255, 0));

        for (const char *bad : {"green", "#12345", "#GG0000", "1234567", "#00ff00 x"}) {
            QVERIFY2(!flash.SetBGColor(bad), bad);
            QCOMPARE(flash.BGColor(), QString("#00FF00"));
        }
        QVERIFY(flash.setProperty("BGColor", QString("#a0B0c0")));
        QCOMPARE(flash.BGColor(), QString("#A0B0C0"));
        QCOMPARE(centre(flash.PaintToImage(QSize(50, 50))), qRgb(0xA0, 0xB0, 0xC0));

        // Empty: the movie's own colour again.
        QVERIFY(flash.SetBGColor(""));
        QCOMPARE(flash.BGColor(), QString());
        QCOMPARE(flash.BackgroundColor(), QColor(128, 128, 128));
        QCOMPARE(centre(flash.PaintToImage(QSize(50, 50))), qRgb(128, 128, 128));
    }

    void bgColorKeepsTheFrameShown()
    {
        TShockwaveFlash flash;
        QVERIFY(flash.SetMovie(save("four.swf", colourMovie(4))));
        flash.SetFrameNum(2);
        QVERIFY(flash.SetBGColor("#000000"));
        QCOMPARE(flash.FrameNum(), 2);
        QCOMPARE(centre(flash.PaintToImage(QSize(100, 50))), kColours[2]);
    }

    void stageIsFittedCentredWithTheBackgroundAround()
    {
        TShockwaveFlash flash;
        QVERIFY(flash.SetMovie(save("wide.swf", colourMovie(1, 12, 100, 50))));
        QVERIFY(flash.SetBGColor("#FFFFFF"));

        // A square: the 2:1 stage fills the middle half, white above and below.
        QImage square = flash.PaintToImage(QSize(200, 200));
        QCOMPARE(flash.StageRect(QRect(0, 0, 200, 200)), QRect(0, 50, 200, 100));
        QCOMPARE(square.pixel(100, 20), qRgb(255, 255, 255));
        QCOMPARE(square.pixel(100, 60), kColours[0]);
        QCOMPARE(square.pixel(5, 140), kColours[0]);
        QCOMPARE(square.pixel(100, 180), qRgb(255, 255, 255));

        // A tall-short target: bars left and right instead.
        QImage wide = flash.PaintToImage(QSize(400, 100));
        QCOMPARE(flash.StageRect(QRect(0, 0, 400, 100)), QRect(100, 0, 200, 100));
        QCOMPARE(wide.pixel(50, 50), qRgb(255, 255, 255));
        QCOMPARE(wide.pixel(200, 50), kColours[0]);
        QCOMPARE(wide.pixel(350, 50), qRgb(255, 255, 255));

        // Painting into part of a larger picture stays inside that part.
        QImage canvas(300, 300, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::black);
        {
            QPainter p(&canvas);
            flash.PaintTo(p, QRect(100, 100, 100, 100));
        }
        QCOMPARE(canvas.pixel(50, 50), qRgb(0, 0, 0));
        QCOMPARE(canvas.pixel(150, 110), qRgb(255, 255, 255));
        QCOMPARE(canvas.pixel(150, 150), kColours[0]);
        QCOMPARE(canvas.pixel(250, 250), qRgb(0, 0, 0));
    }

    void qualityReachesTheDrawing()
    {
        TShockwaveFlash flash;
        QVERIFY(flash.SetMovie(save("triangle.swf", swftest::blackTriangleMovie().bytes())));
        QCOMPARE(flash.Quality(), swf::StageQuality::High);
        const auto colours = [&] {
            const QImage image = flash.PaintToImage(QSize(300, 300));
            QSet<QRgb> seen;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    seen.insert(image.pixel(x, y));
            return seen.size();
        };
        QVERIFY(colours() > 2);
        flash.SetQuality(swf::StageQuality::Low);
        QCOMPARE(colours(), 2);
    }

    void playingAOneFrameMovieKeepsItsSpritesMoving()
    {
        TShockwaveFlash flash;
        QVERIFY(flash.SetMovie(save("sprite.swf", oneFrameSpriteMovie(50))));
        QSignalSpy changed(&flash, &TShockwaveFlash::FrameChanged);
        QSet<QRgb> seen;
        flash.Play();
        QTRY_VERIFY_WITH_TIMEOUT((seen.insert(centre(flash.PaintToImage(QSize(100, 50)))), seen.size() == 3), 10000);
        flash.Stop();
        QCOMPARE(flash.FrameNum(), 0);
        QVERIFY(changed.isEmpty());
        QVERIFY(seen.contains(kColours[1]) && seen.contains(kColours[2]));
    }

    void playAdvancesAtTheFrameRateAndLoops()
    {
        TShockwaveFlash flash;
        QVERIFY(flash.SetMovie(save("fast.swf", colourMovie(3, 50))));
        QCOMPARE(flash.FrameInterval(), 20);
        QSignalSpy changed(&flash, &TShockwaveFlash::FrameChanged);
        QElapsedTimer clock;
        clock.start();
        flash.Play();
        QVERIFY(flash.IsPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 7, 10000);
        const qint64 elapsed = clock.elapsed();
        flash.Stop();
        QVERIFY(!flash.IsPlaying());

        // Frames in order, back to the first after the last.
        for (int i = 0; i < changed.count(); ++i)
            QCOMPARE(changed.at(i).at(0).toInt(), (i + 1) % 3);
        // Never faster than the rate allows (with a wide margin for timer
        // slack); how much slower depends on the machine and is not checked.
        QVERIFY2(changed.count() <= elapsed / 10 + 2,
                 qPrintable(QString("%1 frames in %2 ms").arg(changed.count()).arg(elapsed)));

        // Stopped means stopped.
        const int frame = flash.FrameNum();
        const int signalled = changed.count();
        QTest::qWait(150);
        QCOMPARE(flash.FrameNum(), frame);
        QCOMPARE(changed.count(), signalled);
    }

    void frameIntervalFollowsTheRate()
    {
        TShockwaveFlash flash;
        QVERIFY(flash.SetMovie(save("r24.swf", colourMovie(2, 24))));
        QCOMPARE(flash.FrameInterval(), 42);
        // No usable rate: the authoring tool's default of 12 a second.
        QVERIFY(flash.SetMovie(save("r0.swf", colourMovie(2, 0))));
        QCOMPARE(flash.FrameInterval(), 83);
    }

    void oneFrameMoviePlaysWithoutSignalling()
    {
        TShockwaveFlash flash;
        QVERIFY(flash.SetMovie(save("one.swf", colourMovie(1, 100))));
        QSignalSpy changed(&flash, &TShockwaveFlash::FrameChanged);
        flash.Play();
        QTest::qWait(100);
        QCOMPARE(flash.FrameNum(), 0);
        QCOMPARE(changed.count(), 0);
    }

    void paintHookCanObserveOrReplacePainting()
    {
        TShockwaveFlash flash;
        flash.resize(100, 50);
        QVERIFY(flash.SetMovie(save("four.swf", colourMovie(4))));
        flash.SetFrameNum(1);

        int calls = 0;
        TShockwaveFlash *seen = nullptr;
        int frameSeen = -1;
        flash.SetPaintHook([&](TShockwaveFlash &control, QPainter &painter) {
            ++calls;
            seen = &control;
            frameSeen = control.FrameNum();
            painter.fillRect(control.rect(), QColor(255, 0, 255));
            return true;
        });
        QImage grabbed = flash.grab().toImage();
        QVERIFY(calls >= 1);
        QCOMPARE(seen, &flash);
        QCOMPARE(frameSeen, 1);
        QCOMPARE(centre(grabbed), qRgb(255, 0, 255));

        // Returning false: the hook sees the paint, the control paints as usual.
        calls = 0;
        flash.SetPaintHook([&](TShockwaveFlash &, QPainter &) {
            ++calls;
            return false;
        });
        grabbed = flash.grab().toImage();
        QVERIFY(calls >= 1);
        QCOMPARE(centre(grabbed), kColours[1]);

        // A capturer can draw the frame itself and keep a copy.
        QImage captured;
        flash.SetPaintHook([&](TShockwaveFlash &control, QPainter &painter) {
            captured = control.PaintToImage(control.size());
            control.PaintTo(painter, control.rect());
            return true;
        });
        flash.SetFrameNum(3);
        grabbed = flash.grab().toImage();
        QCOMPARE(centre(captured), kColours[3]);
        QCOMPARE(centre(grabbed), kColours[3]);

        // No hook: default painting.
        flash.SetPaintHook({});
        QCOMPARE(centre(flash.grab().toImage()), kColours[3]);
    }

    void hookMayRemoveItselfWhilePainting()
    {
        TShockwaveFlash flash;
        flash.resize(100, 50);
        QVERIFY(flash.SetMovie(save("four.swf", colourMovie(4))));
        int calls = 0;
        const QString marker = "still here";
        flash.SetPaintHook([&, marker](TShockwaveFlash &control, QPainter &) {
            ++calls;
            control.SetPaintHook({});
            // The closure, and what it holds, must outlive its own removal.
            return marker == "still here";
        });
        flash.grab();
        QCOMPARE(calls, 1);
        QCOMPARE(centre(flash.grab().toImage()), kColours[0]);
        QCOMPARE(calls, 1);
    }

    void playingInTheEventLoopRepaintsThroughTheHook()
    {
        TShockwaveFlash flash;
        flash.resize(60, 30);
        QVERIFY(flash.SetMovie(save("fast.swf", colourMovie(4, 60))));
        QList<int> painted;
        flash.SetPaintHook([&](TShockwaveFlash &control, QPainter &) {
            painted << control.FrameNum();
            return false;
        });
        flash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flash));
        flash.Play();
        QTRY_VERIFY_WITH_TIMEOUT(painted.contains(2) && painted.contains(3), 10000);
        flash.Stop();
    }
};

QTEST_MAIN(ShockwaveFlashTest)
#include "ShockwaveFlashTest.moc"
