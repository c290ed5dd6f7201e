// kavrel-frames: pictures of a movie's frames as PNG or JPEG files, and the facts
// about a movie, from the command line. Exit codes: 0 done, 1 the movie could
// not be read or a picture not written, 2 the command line is wrong.
#include "engines/flashplayer/SwfPlayer.h"
#include "engines/flashplayer/SwfReader.h"
#include "platform/JpegImage.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <unistd.h>

namespace {

constexpr int kDefaultJpegQuality = 90;

const char kHelp[] =
    "Usage:\n"
    "  kavrel-frames MOVIE.swf --info\n"
    "  kavrel-frames MOVIE.swf --frame N --out FILE.png|FILE.jpg [--scale S] [--stage-quality Q]\n"
    "  kavrel-frames MOVIE.swf --frames A-B --out DIR [--format png|jpg] [--scale S] [--stage-quality Q]\n"
    "\n"
    "  --info             prints the movie's facts, one \"key: value\" a line:\n"
    "                     version, compression, stage-width, stage-height (pixels),\n"
    "                     frame-rate, frame-count, background, scene-count, then\n"
    "                     \"scene: FIRST NAME\" lines, label-count, \"label: FRAME NAME\"\n"
    "                     lines, warnings (how many problems the reader met),\n"
    "                     scripts-not-run (yes or no) and a \"skipped\" line for\n"
    "                     each part of the movie that is not run or drawn.\n"
    "                     Frames count from 1; in names a backslash, a line break or\n"
    "                     another control character is written as \\\\, \\n or \\xHH.\n"
    "  --frame N          draws the picture shown after N frames have played from\n"
    "                     the start (N from 1 to 1048576); past the last frame the\n"
    "                     main timeline starts over and its sprites play on, as the\n"
    "                     player does.\n"
    "  --frames A-B       draws frames A to B the same way into DIR (created when\n"
    "                     missing) as frame-0001.png, frame-0002.png, ...: the number\n"
    "                     is the frame's N, with at least four digits (more when B\n"
    "                     needs them, the same for every name of the run). Frames\n"
    "                     past the last start over; a note says how many pictures\n"
    "                     that makes. On a terminal the count written is shown.\n"
    "  --out PATH         the picture (--frame), PNG or JPEG by its name's ending,\n"
    "                     or the folder (--frames).\n"
    "  --format F         png (default) or jpg, the pictures of --frames.\n"
    "  --jpeg-quality Q   1 to 100 for JPEG pictures (default 90).\n"
    "  --scale S          multiplies the stage's size at 72 dpi (default 1).\n"
    "  --stage-quality Q  low, medium, high (default) or best; low draws without\n"
    "                     anti-aliasing.\n"
    "  --version, --help\n"
    "\n"
    "Problems the reader meets in a damaged movie are printed as warnings (the\n"
    "frame, the tag and its byte in the movie's data, what is wrong) and what\n"
    "could be read is drawn. Pictures are at most 36000000 pixels (16384 a\n"
    "side); a larger stage needs a smaller --scale. Exit 1 means nothing of the\n"
    "movie could be read, its stage is too large to draw at scale 1, or a picture\n"
    "could not be written; exit 2 means the command line is wrong (a --scale too\n"
    "large included).\n";

struct UsageError {
    QString message;
};

void say(const QString &line)
{
    std::fprintf(stderr, "kavrel-frames: %s\n", line.toLocal8Bit().constData());
}

struct Options {
    QString movie;
    bool info = false;
    std::optional<qint64> frame;
    std::optional<std::pair<qint64, qint64>> frames;
    std::optional<QString> out;
    std::optional<double> scale;
    std::optional<swf::StageQuality> quality;
    std::optional<int> jpegQuality;
    std::optional<QString> format; // of the pictures of --frames: png or jpg
    bool help = false;
    bool version = false;
};

// A frame number from 1 up to the most the player plays; 0 for anything else.
qint64 frameNumber(const QString &text)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n < 1 || n > swf::kMaxPlayedFrames || text.startsWith('+'))
        return 0;
    return n;
}

Options parse(const QStringList &args)
{
    Options o;
    QStringList seen;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString arg = args[i];
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true; // a movie whose name starts with "-" follows
            continue;
        }
        if (!optionsEnded && arg == QLatin1String("-h")) {
            o.help = true;
            continue;
        }
        if (!optionsEnded && arg.startsWith('-') && !arg.startsWith(QLatin1String("--")))
            throw UsageError{QStringLiteral("Unknown option \"%1\"; see --help.").arg(arg)};
        if (optionsEnded || !arg.startsWith(QLatin1String("--"))) {
            if (!o.movie.isEmpty())
                throw UsageError{QStringLiteral("Only one movie can be given, but \"%1\" follows \"%2\".")
                                     .arg(arg, o.movie)};
            o.movie = arg;
            continue;
        }
        QString name = arg;
        std::optional<QString> inlineValue;
        if (const int eq = arg.indexOf('='); eq > 0) {
            name = arg.left(eq);
            inlineValue = arg.mid(eq + 1);
        }
        static const QStringList flags = {"--info", "--help", "--version"};
        static const QStringList valued = {"--frame",         "--frames", "--out",         "--scale",
                                           "--stage-quality", "--format", "--jpeg-quality"};
        if (!flags.contains(name) && !valued.contains(name))
            throw UsageError{QStringLiteral("Unknown option \"%1\"; see --help.").arg(name)};
        if (seen.contains(name))
            throw UsageError{QStringLiteral("Option %1 is given twice.").arg(name)};
        seen << name;
        if (flags.contains(name)) {
            if (inlineValue)
                throw UsageError{QStringLiteral("Option %1 takes no value.").arg(name)};
            if (name == QLatin1String("--info"))
                o.info = true;
            else if (name == QLatin1String("--help"))
                o.help = true;
            else
                o.version = true;
            continue;
        }
        QString value;
        if (inlineValue) {
            value = *inlineValue;
        } else {
            if (i + 1 >= args.size())
                throw UsageError{QStringLiteral("Option %1 needs a value.").arg(name)};
            value = args[++i];
        }
        if (name == QLatin1String("--frame")) {
            if (const qint64 n = frameNumber(value))
                o.frame = n;
            else
                throw UsageError{
                    QStringLiteral("The frame number must be a whole number from 1 to %1, not \"%2\".")
                        .arg(swf::kMaxPlayedFrames)
                        .arg(value)};
        } else if (name == QLatin1String("--frames")) {
            const QStringList ends = value.split('-');
            const qint64 first = ends.size() == 2 ? frameNumber(ends[0]) : 0;
            const qint64 last = ends.size() == 2 ? frameNumber(ends[1]) : 0;
            if (first == 0 || last == 0 || first > last)
                throw UsageError{
                    QStringLiteral("The frame range must be A-B with whole numbers 1 <= A <= B <= %1, not \"%2\".")
                        .arg(swf::kMaxPlayedFrames)
                        .arg(value)};
            o.frames = std::pair{first, last};
        } else if (name == QLatin1String("--out")) {
            if (value.isEmpty())
                throw UsageError{QStringLiteral("Option --out needs a path.")};
            o.out = value;
        } else if (name == QLatin1String("--format")) {
            if (value != QLatin1String("png") && value != QLatin1String("jpg"))
                throw UsageError{QStringLiteral("The format must be png or jpg, not \"%1\".").arg(value)};
            o.format = value;
        } else if (name == QLatin1String("--jpeg-quality")) {
            bool ok = false;
            const int q = value.toInt(&ok);
            if (!ok || q < 1 || q > 100)
                throw UsageError{
                    QStringLiteral("The JPEG quality must be a whole number from 1 to 100, not \"%1\".").arg(value)};
            o.jpegQuality = q;
        } else if (name == QLatin1String("--scale")) {
            bool ok = false;
            const double s = value.toDouble(&ok);
            if (!ok || !std::isfinite(s) || s <= 0)
                throw UsageError{QStringLiteral("The scale must be a number above 0, not \"%1\".").arg(value)};
            o.scale = s;
        } else {
            o.quality = swf::parseStageQuality(value);
            if (!o.quality)
                throw UsageError{
                    QStringLiteral("The stage quality must be low, medium, high or best, not \"%1\".").arg(value)};
        }
    }
    if (o.help || o.version)
        return o;
    const int actions = int(o.info) + int(o.frame.has_value()) + int(o.frames.has_value());
    if (actions == 0)
        throw UsageError{QStringLiteral("Say what to do: --info, --frame N or --frames A-B; see --help.")};
    if (actions > 1)
        throw UsageError{QStringLiteral("Choose one of --info, --frame and --frames.")};
    if (o.movie.isEmpty())
        throw UsageError{QStringLiteral("No movie given; name a .swf file.")};
    if (o.info && (o.out || o.scale || o.quality))
        throw UsageError{
            QStringLiteral("--info prints to standard output and takes no --out, --scale or --stage-quality.")};
    if (!o.info && !o.out)
        throw UsageError{o.frame ? QStringLiteral("--frame needs --out FILE.png.")
                                 : QStringLiteral("--frames needs --out DIR.")};
    if (o.info && (o.format || o.jpegQuality))
        throw UsageError{QStringLiteral("--info takes no --format or --jpeg-quality.")};
    if (o.frame) {
        if (o.format)
            throw UsageError{QStringLiteral("--format is for --frames; with --frame the name's ending (.png or .jpg) "
                                            "decides.")};
        const QString suffix = QFileInfo(*o.out).suffix().toLower();
        if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
            o.format = QStringLiteral("jpg");
        else if (suffix == QLatin1String("png"))
            o.format = QStringLiteral("png");
        else
            throw UsageError{QStringLiteral("The picture's name must end in .png or .jpg, not \"%1\".").arg(*o.out)};
    }
    if (o.jpegQuality && o.format != QLatin1String("jpg"))
        throw UsageError{QStringLiteral("--jpeg-quality is for JPEG pictures (.jpg, or --format jpg).")};
    return o;
}

// Names as one line each, so the output stays one fact a line.
QString escaped(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

void printInfo(const swf::Movie &movie, const swf::Player &player)
{
    static const char *const compressions[] = {"none", "zlib", "lzma"};
    QStringList lines;
    const QSize stage = player.stageSize();
    const QColor bg = player.backgroundColor();
    lines << QStringLiteral("version: %1").arg(int(movie.version))
          << QStringLiteral("compression: %1").arg(QLatin1String(compressions[int(movie.compression)]))
          << QStringLiteral("stage-width: %1").arg(stage.width())
          << QStringLiteral("stage-height: %1").arg(stage.height())
          << QStringLiteral("frame-rate: %1").arg(movie.frameRate)
          << QStringLiteral("frame-count: %1").arg(player.frameCount())
          << QStringLiteral("background: %1").arg(bg.name().toUpper());

    // Scenes as the authoring tool shows them: one "Scene 1" when the movie
    // names none.
    std::vector<swf::Scene> scenes = movie.scenes;
    if (scenes.empty())
        scenes.push_back({0, QStringLiteral("Scene 1")});
    lines << QStringLiteral("scene-count: %1").arg(scenes.size());
    for (const auto &scene : scenes)
        lines << QStringLiteral("scene: %1 %2").arg(qint64(scene.frameOffset) + 1).arg(escaped(scene.name));

    // The timeline's labels, then those only the scene data names.
    std::vector<std::pair<uint32_t, QString>> labels;
    for (size_t f = 0; f < movie.frames.size(); ++f)
        for (const auto &label : movie.frames[f].labels)
            labels.emplace_back(uint32_t(f), label.name);
    for (const auto &label : movie.frameLabels) {
        const std::pair<uint32_t, QString> entry{label.frame, label.name};
        if (std::find(labels.begin(), labels.end(), entry) == labels.end())
            labels.push_back(entry);
    }
    std::stable_sort(labels.begin(), labels.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    lines << QStringLiteral("label-count: %1").arg(labels.size());
    for (const auto &[frame, name] : labels)
        lines << QStringLiteral("label: %1 %2").arg(qint64(frame) + 1).arg(escaped(name));
    lines << QStringLiteral("warnings: %1").arg(qint64(movie.warnings.size()) + movie.droppedWarnings);
    // Why frames may differ from the Flash Player's, before anyone wonders.
    lines << QStringLiteral("scripts-not-run: %1").arg(movie.scripts.anyNotRun() ? "yes" : "no");
    for (const QString &skipped : swf::skippedContent(movie))
        lines << QStringLiteral("skipped: %1").arg(skipped);
    std::fputs((lines.join('\n') + '\n').toUtf8().constData(), stdout);
}

// Whole or not at all: a failed write leaves no half picture behind.
bool writePicture(const QImage &image, const QString &path, const Options &o)
{
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    if (written && o.format == QLatin1String("jpg")) {
        const QByteArray jpeg = platform::encodeJpeg(image, o.jpegQuality.value_or(kDefaultJpegQuality));
        written = !jpeg.isEmpty() && file.write(jpeg) == jpeg.size();
    } else if (written) {
        written = image.save(&file, "PNG");
    }
    if (!written || !file.commit()) {
        say(QStringLiteral("Cannot write \"%1\": %2.").arg(path, file.errorString()));
        return false;
    }
    return true;
}

int run(const Options &o)
{
    QString error;
    const auto movie = std::make_shared<const swf::Movie>(swf::readMovieFile(o.movie, &error));
    if (!movie->ok()) {
        say(error);
        return 1;
    }
    // Where first, in the movie's terms, then what is wrong.
    for (const auto &w : movie->warnings)
        say(QStringLiteral("warning: frame %1, %2 at byte %3: %4.")
                .arg(w.frame + 1)
                .arg(w.tagCode ? swf::tagName(w.tagCode) + QStringLiteral(" tag") : QStringLiteral("the movie's end"))
                .arg(w.offset)
                .arg(w.message));
    if (movie->droppedWarnings > 0)
        say(QStringLiteral("warning: %1 more problems were not listed.").arg(movie->droppedWarnings));

    swf::Player player(movie);
    if (o.info) {
        printInfo(*movie, player);
        return 0;
    }

    const QSize stage = player.stageSize();
    if (stage.isEmpty()) {
        say(QStringLiteral("The movie's stage is empty (%1 x %2 pixels), so there is nothing to draw.")
                .arg(stage.width())
                .arg(stage.height()));
        return 1;
    }
    const double scale = o.scale.value_or(1.0);
    const double w = std::round(stage.width() * scale);
    const double h = std::round(stage.height() * scale);
    if (!(w <= swf::kMaxPictureSide && h <= swf::kMaxPictureSide
          && swf::pictureSizeAllowed(QSize(std::max(1, int(w)), std::max(1, int(h)))))) {
        const auto count = [](double v) { return v < 1e15 ? QString::number(qint64(v)) : QString::number(v, 'g', 3); };
        say(QStringLiteral("At scale %1 the pictures would be %2 x %3 pixels; at most %4 pixels, and %5 a side, "
                           "can be drawn. Use --scale %6 or less.")
                .arg(QString::number(scale), count(w), count(h), count(double(swf::kMaxPicturePixels)),
                     count(swf::kMaxPictureSide), QString::number(swf::largestPictureScale(stage))));
        return o.scale ? 2 : 1; // the movie alone is not a wrong command line

    }
    const QSize size(std::max(1, int(w)), std::max(1, int(h)));
    const swf::StageQuality quality = o.quality.value_or(swf::StageQuality::High);
    const int count = player.frameCount();

    // Frame N is the picture after playing N frames from the first; past
    // the last the main timeline starts over and sprites play on.
    const auto picture = [&]() { return player.renderImage(size, quality).convertToFormat(QImage::Format_RGB32); };
    if (o.frame) {
        player.playTo(int(*o.frame - 1));
        return writePicture(picture(), *o.out, o) ? 0 : 1;
    }

    const auto [first, last] = *o.frames;
    QDir dir(*o.out);
    if (!dir.mkpath(QStringLiteral("."))) {
        say(QStringLiteral("Cannot create the folder \"%1\".").arg(*o.out));
        return 1;
    }
    const qint64 pictures = last - first + 1;
    if (last > count)
        say(QStringLiteral("note: the movie has %1 frames; past the last the frames start over from the first, as "
                           "the player does, so %2 pictures are written.")
                .arg(count)
                .arg(pictures));
    const bool progress = ::isatty(STDERR_FILENO) && pictures > 1;
    const int digits = std::max(4, int(QString::number(last).size()));
    const QString suffix = o.format == QLatin1String("jpg") ? QStringLiteral("jpg") : QStringLiteral("png");
    for (qint64 n = first; n <= last; ++n) {
        player.playTo(int(n - 1));
        const QString name = QStringLiteral("frame-%1.%2").arg(n, digits, 10, QLatin1Char('0')).arg(suffix);
        if (!writePicture(picture(), dir.filePath(name), o))
            return 1;
        if (progress)
            std::fprintf(stderr, "\rkavrel-frames: %lld of %lld pictures written", n - first + 1, pictures);
    }
    if (progress)
        std::fputs("\n", stderr);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // Never shows a window; the offscreen platform still gives the device
    // fonts that edit texts are drawn with.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own remarks (a missing runtime folder and the like) are not for
    // the user of a command-line tool; its messages are its own lines.
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false\nqt.*.warning=false"));
    QGuiApplication app(argc, argv);
    Options options;
    try {
        options = parse(app.arguments().mid(1));
    } catch (const UsageError &e) {
        say(e.message);
        return 2;
    }
    if (options.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kavrel-frames %s\n", TESSORY_VERSION);
        return 0;
    }
    return run(options);
}
