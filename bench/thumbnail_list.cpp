// The frame selection step with a long movie against a short one.
//
//   thumbnail_list [--frames N]
//
// Two cases, each in a process of its own so that its peak memory is its
// own: 100 frames (the baseline) and N frames (1200 by default). Each writes
// one captured frame as the capture step does (1146 x 833, JPEG quality
// 100), links it under every frame's name, opens the frame selection step
// with the "Loading Frames" window and chooses "All Frames". Reported:
//   fill     choosing "All Frames" until the list is full, and the longest
//            stretch the event loop went without running a 5 ms timer
//            (what a user feels as a frozen window; Cancel waits that long)
//   page     painting one screen of cells never shown before, the mean and
//            the slowest, page by page from the top to the end: only the
//            cells in sight are decoded, so this must not grow with N
//   cancel   Cancel pressed when half the list is made: the wait until the
//            step is usable again and the thumbnails kept
//   peak     the process's ru_maxrss
// Targets: peak memory of N frames within 50 MiB of 100 frames, the longest
// event-loop stretch under 100 ms, and a page costing the same in both.
#include "Measure.h"

#include "core/Global.h"
#include "wizard/ProgressFrm.h"
#include "wizard/Step3Frm.h"
#include "wizard/WizardForms.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kShortFrames = 100;
constexpr int kPictureWidth = 1146, kPictureHeight = 833; // 550 x 400 at 150 dpi

struct Figures {
    double fillMs = 0, gapMs = 0, pageMeanMs = 0, pageMaxMs = 0, cancelMs = 0, peakMiB = 0;
    int pages = 0, kept = 0, shown = 0;
};

// A frame as a movie draws one: a gradient, shapes with soft edges, fine
// detail, so that the JPEG costs what a real one costs to decode.
QImage framePicture()
{
    QImage picture(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kPictureHeight);
    sky.setColorAt(0, QColor(60, 110, 200));
    sky.setColorAt(1, QColor(250, 220, 170));
    p.fillRect(picture.rect(), sky);
    QRandomGenerator random(7);
    for (int i = 0; i < 60; ++i) {
        p.setBrush(QColor::fromHsv(random.bounded(360), 160, 220));
        p.setPen(QPen(Qt::black, 3));
        const int r = 20 + random.bounded(80);
        p.drawEllipse(QPoint(random.bounded(kPictureWidth), random.bounded(kPictureHeight)), r, r);
    }
    p.setPen(Qt::darkGray);
    for (int y = 20; y < kPictureHeight; y += 24)
        p.drawText(10, y, QStringLiteral("Frame text line %1 with small detail to encode").arg(y));
    return picture;
}

// One case, run in the child: figures go to the file named out.
int runCase(int frames, const QString &out)
{
    QTemporaryDir dir;
    TempImageBase = QDir(dir.path()).filePath(QStringLiteral("VELUMOR"));

    IsSWFMode = true;
    AppTitle = QStringLiteral("Tessory");
    Scenes = {TSceneInfo{QString(), frames, 0, {0}, QStringList(frames)}};
    TProgressForm progress;
    Forms.progress = &progress;
    TStep3Form form; // clears the pictures an earlier run left
    if (!framePicture().save(FrameImageFileName(0), "JPEG", 100))
        return 2;
    for (int i = 1; i < frames; ++i)
        if (::link(QFile::encodeName(FrameImageFileName(0)).constData(),
                   QFile::encodeName(FrameImageFileName(i)).constData())
            != 0)
            return 2;
    form.resize(800, 600);
    form.show();
    QApplication::processEvents();
    TThumbnailList *list = form.step.tlThumbnailList;
    QComboBox *filter = form.step.cmbxFrameFilter;

    Figures f;
    QElapsedTimer clock;
    qint64 lastTick = 0, longest = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.nsecsElapsed() - lastTick);
        lastTick = clock.nsecsElapsed();
    });
    const auto chooseAllFrames = [&] {
        filter->setCurrentIndex(-1);
        const int index = filter->findText(QStringLiteral("All Frames"));
        filter->setCurrentIndex(index);
        emit filter->activated(index);
    };

    clock.start();
    ticker.start();
    chooseAllFrames();
    QApplication::processEvents();
    f.fillMs = clock.nsecsElapsed() / 1e6;
    ticker.stop();
    f.gapMs = longest / 1e6;
    f.shown = list->count();

    // Page by page to the end; each page's cells are painted for the first time.
    // Cells flow in columns and the list scrolls sideways; one row scrolls down.
    list->doItemsLayout();
    QScrollBar *bar = list->horizontalScrollBar()->maximum() > 0 ? list->horizontalScrollBar()
                                                                 : list->verticalScrollBar();
    bar->setValue(0);
    double total = 0;
    for (int value = bar->pageStep();; value += bar->pageStep()) {
        bar->setValue(std::min(value, bar->maximum()));
        QElapsedTimer page;
        page.start();
        list->viewport()->repaint();
        const double ms = page.nsecsElapsed() / 1e6;
        total += ms;
        f.pageMaxMs = std::max(f.pageMaxMs, ms);
        ++f.pages;
        if (value >= bar->maximum())
            break;
    }
    f.pageMeanMs = f.pages ? total / f.pages : 0;
    // Empty tiles would be cheap: a picture that does not decode spoils the case.
    if (list->Picture(list->count() - 1).isNull())
        return 3;

    // Cancel once half the thumbnails are made, as the button does.
    QElapsedTimer sinceCancel;
    QTimer watcher;
    watcher.setInterval(1);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!sinceCancel.isValid() && list->count() >= frames / 2) {
            sinceCancel.start();
            progress.ui.bitbtnCancel->click();
        }
    });
    watcher.start();
    chooseAllFrames();
    watcher.stop();
    f.cancelMs = sinceCancel.isValid() ? sinceCancel.nsecsElapsed() / 1e6 : -1;
    f.kept = list->count();

    QFile file(out);
    if (!file.open(QIODevice::WriteOnly))
        return 2;
    QTextStream(&file) << f.fillMs << ' ' << f.gapMs << ' ' << f.pageMeanMs << ' ' << f.pageMaxMs << ' ' << f.cancelMs
                       << ' ' << f.pages << ' ' << f.kept << ' ' << f.shown << '\n';
    return 0;
}

bool measureCase(const QString &self, int frames, Figures &f)
{
    QTemporaryDir dir;
    const QString out = QDir(dir.path()).filePath(QStringLiteral("figures"));
    const bench::Measured m =
        bench::measure(self, {QStringLiteral("--case"), QString::number(frames), out}, 600,
                       {QStringLiteral("QT_QPA_PLATFORM=offscreen")});
    QFile file(out);
    if (!m.ok || !file.open(QIODevice::ReadOnly))
        return false;
    QTextStream in(&file);
    in >> f.fillMs >> f.gapMs >> f.pageMeanMs >> f.pageMaxMs >> f.cancelMs >> f.pages >> f.kept >> f.shown;
    f.peakMiB = m.peakMiB;
    return in.status() == QTextStream::Ok;
}

void print(int frames, const Figures &f)
{
    std::printf("%5d frames  fill %8.1f ms (%.2f ms a frame), longest event-loop stretch %6.1f ms\n", frames,
                f.fillMs, f.fillMs / std::max(1, f.shown), f.gapMs);
    std::printf("              page %8.2f ms mean, %.2f ms slowest, over %d pages\n", f.pageMeanMs, f.pageMaxMs,
                f.pages);
    std::printf("              cancel at half: usable after %.1f ms, %d of %d thumbnails kept\n", f.cancelMs, f.kept,
                frames);
    std::printf("              peak %8.1f MiB\n", f.peakMiB);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && QByteArray(argv[1]) == "--case") {
        QApplication app(argc, argv);
        return runCase(QByteArray(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]));
    }
    int frames = 1200;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--frames" && i + 1 < argc) {
            frames = QByteArray(argv[++i]).toInt();
        } else {
            std::fprintf(stderr, "usage: %s [--frames N]\n", argv[0]);
            return 2;
        }
    }
    if (frames <= kShortFrames) {
        std::fprintf(stderr, "--frames must be above %d, the baseline.\n", kShortFrames);
        return 2;
    }

    const QString self = QFile::decodeName(argv[0]);
    Figures base, longer;
    if (!measureCase(self, kShortFrames, base) || !measureCase(self, frames, longer)) {
        std::fprintf(stderr, "a case failed to run\n");
        return 1;
    }
    print(kShortFrames, base);
    print(frames, longer);
    const double growth = longer.peakMiB - base.peakMiB;
    std::printf("\npeak memory %d vs %d frames: %+.1f MiB (target within 50 MiB): %s\n", frames, kShortFrames, growth,
                growth <= 50 ? "met" : "NOT met");
    std::printf("longest event-loop stretch while filling: %.1f ms (target under 100 ms): %s\n",
                std::max(base.gapMs, longer.gapMs), std::max(base.gapMs, longer.gapMs) < 100 ? "met" : "NOT met");
    const double pageRatio = base.pageMeanMs > 0 ? longer.pageMeanMs / base.pageMeanMs : 0;
    std::printf("page of new cells, %d / %d frames: %.2fx (target about 1, at most 1.5): %s\n", frames,
                kShortFrames, pageRatio, pageRatio <= 1.5 ? "met" : "NOT met");
    std::printf("fill per frame, %d / %d frames: %.2fx\n", frames, kShortFrames,
                (longer.fillMs / std::max(1, longer.shown)) / (base.fillMs / std::max(1, base.shown)));
    return 0;
}
