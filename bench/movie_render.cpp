// Rendering frames against JPEG-encoding them, and the cost of stepping
// through a movie as it grows longer.
//
//   movie_render [MOVIE.swf]      (the demonstration movie by default)
//   movie_render --per-frame [MOVIE.swf]
//   movie_render --quality low|medium|high|best ...   (high by default)
//
// --per-frame prints each frame's drawing time (the best of five, in
// microseconds), one frame a line, for setting two builds side by side with
// bench/compare-frames.sh.
//
// Every figure is set against a baseline measured in the same run: rendering
// against libjpeg encoding the same pictures at quality 100 (target: rendering
// no slower), 2n frames against n (target: twice the time, and the same peak
// memory).
#include "DemoMovie.h"

#include "engines/flashplayer/SwfPlayer.h"
#include "engines/flashplayer/SwfReader.h"
#include "platform/JpegImage.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QLoggingCategory>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>


namespace {

const QSize kPictureSize(1146, 833);
swf::StageQuality kQuality = swf::StageQuality::High;
const char *kQualityName = "high";

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // reported in KiB on Linux
}

// The frame picture as the capture writes it: quality 100 through the
// project's libjpeg codec.
size_t encodeJpeg(const QImage &image)
{
    return size_t(platform::encodeJpeg(image, 100).size());
}

// Steps on through `frames` more frames, drawing each.
double stepAndRender(swf::Player &player, int frames)
{
    QImage picture(kPictureSize, QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < frames; ++i) {
        player.nextFrame();
        player.renderInto(picture, kQuality);
    }
    return clock.nsecsElapsed() / 1e9;
}

void printFrameTimes(const std::shared_ptr<const swf::Movie> &movie)
{
    swf::Player player(movie);
    QImage picture(kPictureSize, QImage::Format_ARGB32_Premultiplied);
    const int count = player.frameCount();
    std::vector<double> best(size_t(count), 1e30);
    QElapsedTimer clock;
    // Five rounds through the whole movie rather than five draws of one
    // frame in a row, so a busy moment spreads over all frames; the first
    // round also prepares every character.
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < count; ++i) {
            player.gotoFrame(i);
            clock.start();
            player.renderInto(picture, kQuality);
            if (round > 0)
                best[size_t(i)] = std::min(best[size_t(i)], clock.nsecsElapsed() / 1e3);
        }
    }
    for (int i = 0; i < count; ++i)
        std::printf("%d %.0f\n", i + 1, best[size_t(i)]);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false\nqt.*.warning=false"));
    QGuiApplication app(argc, argv);

    bool perFrame = false;
    while (argc > 1 && std::string_view(argv[1]).starts_with("--")) {
        const std::string_view option = argv[1];
        if (option == "--per-frame") {
            perFrame = true;
        } else if (option == "--quality" && argc > 2) {
            static constexpr std::pair<std::string_view, swf::StageQuality> kNames[] = {
                {"low", swf::StageQuality::Low},
                {"medium", swf::StageQuality::Medium},
                {"high", swf::StageQuality::High},
                {"best", swf::StageQuality::Best}};
            const auto found = std::find_if(std::begin(kNames), std::end(kNames),
                                            [&](const auto &n) { return n.first == argv[2]; });
            if (found == std::end(kNames)) {
                std::fprintf(stderr, "movie_render: the quality is one of low, medium, high and best\n");
                return 2;
            }
            kQuality = found->second;
            kQualityName = found->first.data();
            --argc;
            ++argv;
        } else {
            std::fprintf(stderr, "movie_render: unknown option %s\n", argv[1]);
            return 2;
        }
        --argc;
        ++argv;
    }
    QString name = QStringLiteral("the demonstration movie");
    swf::Movie read;
    if (argc > 1) {
        name = QString::fromLocal8Bit(argv[1]);
        read = swf::readMovieFile(name);
    } else {
        read = swf::readMovie(demo::demoMovie());
    }
    if (!read.ok()) {
        std::fprintf(stderr, "movie_render: %s\n", qPrintable(read.error));
        return 1;
    }
    const auto movie = std::make_shared<const swf::Movie>(std::move(read));
    if (perFrame) {
        printFrameTimes(movie);
        return 0;
    }
    swf::Player probe(movie);
    const int count = probe.frameCount();
    std::printf("movie_render: %s, %d frames, stage %dx%d, pictures %dx%d, stage quality %s\n", qPrintable(name),
                count, probe.stageSize().width(), probe.stageSize().height(), kPictureSize.width(),
                kPictureSize.height(), kQualityName);

    // Growth first, while the process is still small, so the peak memory
    // reflects the stepping and not the pictures made below. One player
    // goes on through n frames, then 2n more: the cost of a frame must not
    // grow with how far the movie has played. It first plays the movie once
    // untimed, as the renderer prepares each character on first use.
    const int n = 2 * count;
    swf::Player stepper(movie);
    stepAndRender(stepper, count);
    double timeN = stepAndRender(stepper, n);
    const double rssN = peakRssMiB();
    double time2N = stepAndRender(stepper, 2 * n);
    const double rss2N = peakRssMiB();
    // The best of three, taken in turns, so that a busy moment of a shared
    // machine does not land on one side only.
    for (int round = 1; round < 3; ++round) {
        timeN = std::min(timeN, stepAndRender(stepper, n));
        time2N = std::min(time2N, stepAndRender(stepper, 2 * n));
    }

    // Rendering and encoding of every frame, timed apart; the best of three
    // passes of each, as one pass of a short movie is a fraction of a second.
    double renderSeconds = 1e30;
    double encodeSeconds = 1e30;
    size_t jpegBytes = 0;
    QElapsedTimer clock;
    QImage picture(kPictureSize, QImage::Format_ARGB32_Premultiplied); // one picture, drawn over each frame
    for (int pass = 0; pass < 3; ++pass) {
        swf::Player player(movie);
        double render = 0;
        double encode = 0;
        jpegBytes = 0;
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                player.nextFrame();
            clock.start();
            player.renderInto(picture, kQuality);
            render += clock.nsecsElapsed() / 1e9;
            clock.start();
            jpegBytes += encodeJpeg(picture);
            encode += clock.nsecsElapsed() / 1e9;
        }
        renderSeconds = std::min(renderSeconds, render);
        encodeSeconds = std::min(encodeSeconds, encode);
    }
    // The same frames each into a new picture, as a caller that keeps no
    // image gets them.
    swf::Player fresh(movie);
    clock.start();
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            fresh.nextFrame();
        (void)fresh.renderImage(kPictureSize, kQuality);
    }
    const double freshSeconds = clock.nsecsElapsed() / 1e9;
    const double renderFps = count / renderSeconds;
    const double encodeFps = count / encodeSeconds;

    std::printf("render:   %d frames in %.3f s = %.1f frames/s\n", count, renderSeconds, renderFps);
    std::printf("encode:   %d frames in %.3f s = %.1f frames/s (libjpeg, quality 100, %.0f KiB a frame)\n", count,
                encodeSeconds, encodeFps, jpegBytes / 1024.0 / count);
    std::printf("render into new pictures: %d frames in %.3f s = %.1f frames/s\n", count, freshSeconds,
                count / freshSeconds);
    std::printf("render/encode speed: %.2f (target >= 1: rendering no slower than encoding)\n", renderFps / encodeFps);
    std::printf("step+render (best of 3): n=%d in %.3f s, 2n=%d in %.3f s, time ratio %.2f (target ~2)\n", n, timeN, 2 * n,
                time2N, time2N / timeN);
    std::printf("peak RSS: %.1f MiB after n, %.1f MiB after 2n frames (target: flat)\n", rssN, rss2N);
    return 0;
}
