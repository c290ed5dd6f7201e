// Contact sheets of many frame pictures: the PDF writer against the bare
// JPEG work it cannot avoid and against general image tools.
//
//   pdf_sheet [--frames 200,1000] [--kinds flat,noisy] [--montage-timeout 300]
//             [--montage-frames N] [--keep]
//
// The frame pictures are made first in a temporary folder: 1146x833 JPEG at
// quality 100, as the capture writes them for a 550x400 stage at 150 dpi.
// "flat" pictures are a few solid shapes on a plain background, different in
// every frame, as movies mostly are; "noisy" ones are random pixels, the
// worst case for every coder.
//
// Each case runs in a child process of its own (this program started again,
// or the tool), so its wall time, CPU time and peak memory (ru_maxrss of the
// child through wait4) are its own:
//   bare          libjpeg alone: decode shrunk by DCT scaling (4/8, 573x417),
//                 encode the top left 550x400 at quality 70. The least
//                 any re-encoding writer must do.
//   bare+scale    the same decode, a Qt smooth scale to 550x400, encode q70:
//                 the pixel work of the writer's picture path.
//   full+scale    full-size decode, Qt smooth scale to 550x400, encode q70.
//   picture path  the writer's picture recoder (decode, resample, encode
//                 with kept buffers) on every picture; no PDF.
//   (a) SWF       TPDFCreator::CreatePDF in SWF mode: A4, 4x5 frames per
//                 page, labels on, pictures re-encoded at 72 dpi, quality 70.
//   (b) FLA       the same in FLA mode: the authoring tool's export picture
//                 (here a hard link to the frame's picture) passes through,
//                 read from its file when the PDF is written.
//   img2pdf       one picture per page, embedded unchanged.
//   montage       ImageMagick: 4x5 tiles of 550x400 with labels, JPEG q70,
//                 A4 pages.
// The writer runs as the programs run it, keeping freed memory for the next
// picture (platform::keepFreedMemory).
// Targets: (a) within 1.5x of bare, (b) no slower than img2pdf (judged by
// CPU time, the machine may be shared), peak memory of (a) and (b) under
// 300 MiB and within 10 MiB at the most frames of what it is at the fewest.
// Every PDF is checked (pages via pdfinfo; pass-through bytes for (b)) so a
// failing writer cannot pass for a fast one.
#include "Magick.h"

#include "core/Global.h"
#include "movie/FlashServer.h"
#include "pdfengine/WPPDFR1.h"
#include "platform/JpegImage.h"
#include "platform/MemoryPolicy.h"
#include "sheet/LabelPatterns.h"
#include "sheet/PDFCreator.h"
#include "sheet/PictureSource.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include <jpeglib.h>

extern char **environ;

namespace {

const QSize kPicture(1146, 833);
const QSize kStage(550, 400); // the re-encoded pictures at 72 dpi
constexpr int kQuality = 70;
constexpr int kPerPage = 20;   // 4 x 5
constexpr int kNoisePool = 200; // distinct noisy pictures; more frames reuse them

double cpuNow()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

[[noreturn]] void die(const char *what)
{
    std::fprintf(stderr, "pdf_sheet: %s\n", what);
    std::exit(2);
}

QStringList readList(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        die("cannot read the picture list");
    QStringList names = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return names;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        die(qPrintable(QStringLiteral("cannot read %1").arg(path)));
    return file.readAll();
}

// Results of a child, one "key value" per line.
void writeResults(const QString &path, const std::map<std::string, double> &values)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        die("cannot write the results");
    for (const auto &[key, value] : values)
        file.write(QByteArray::fromStdString(key) + ' ' + QByteArray::number(value, 'g', 10) + '\n');
}

std::map<std::string, double> readResults(const QString &path)
{
    std::map<std::string, double> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return values;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            values[parts[0].toStdString()] = parts[1].toDouble();
    }
    return values;
}

// ---------------------------------------------------------------- bare libjpeg

// The largest DCT reduction n/8 that keeps the picture at least `at` big, as
// a writer that shrinks in the decoder chooses it.
unsigned dctScale(unsigned w, unsigned h, QSize at)
{
    unsigned n = 8;
    while (n > 1 && (w * (n - 1) + 7) / 8 >= unsigned(at.width()) && (h * (n - 1) + 7) / 8 >= unsigned(at.height()))
        --n;
    return n;
}

struct Decoded {
    std::vector<uint8_t> pixels;
    unsigned width = 0, height = 0, components = 0;
};

// libjpeg's default error handler ends the process: the child then fails.
void decode(const QByteArray &data, bool shrink, J_COLOR_SPACE space, Decoded &out)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(data.constData()), (unsigned long)data.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = space;
    if (shrink) {
        info.scale_num = dctScale(info.image_width, info.image_height, kStage);
        info.scale_denom = 8;
    }
    jpeg_start_decompress(&info);
    out.width = info.output_width;
    out.height = info.output_height;
    out.components = unsigned(info.output_components);
    const size_t stride = size_t(out.width) * out.components;
    out.pixels.resize(stride * out.height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
}

// Encodes width x height from rows of `stride` bytes; returns the size.
size_t encode(const uint8_t *pixels, size_t stride, unsigned width, unsigned height, int components,
              J_COLOR_SPACE space, int quality)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + stride * info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return size;
}

int bareChild(const QString &mode, const QStringList &pictures, const QString &results)
{
    Decoded d;
    double bytes = 0, readSeconds = 0, decodeSeconds = 0, scaleSeconds = 0, encodeSeconds = 0;
    const double start = now(), cpuStart = cpuNow();
    for (const QString &path : pictures) {
        double t = now();
        const QByteArray data = readAll(path);
        readSeconds += now() - t;
        t = now();
        if (mode == QLatin1String("bare")) {
            decode(data, true, JCS_RGB, d);
            decodeSeconds += now() - t;
            if (d.width < unsigned(kStage.width()) || d.height < unsigned(kStage.height()))
                die("the shrunk picture is smaller than the stage");
            t = now();
            bytes += double(encode(d.pixels.data(), size_t(d.width) * 3, unsigned(kStage.width()),
                                   unsigned(kStage.height()), 3, JCS_RGB, kQuality));
            encodeSeconds += now() - t;
        } else {
            decode(data, mode == QLatin1String("bare+scale"), JCS_EXT_BGRX, d);
            decodeSeconds += now() - t;
            t = now();
            const QImage image(d.pixels.data(), int(d.width), int(d.height), int(d.width * 4), QImage::Format_RGB32);
            const QImage scaled = image.scaled(kStage, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            scaleSeconds += now() - t;
            t = now();
            bytes += double(encode(scaled.constBits(), size_t(scaled.bytesPerLine()), unsigned(scaled.width()),
                                   unsigned(scaled.height()), 4, JCS_EXT_BGRX, kQuality));
            encodeSeconds += now() - t;
        }
    }
    writeResults(results, {{"inner", now() - start},
                           {"innercpu", cpuNow() - cpuStart},
                           {"bytes", bytes},
                           {"read", readSeconds},
                           {"decode", decodeSeconds},
                           {"scale", scaleSeconds},
                           {"encode", encodeSeconds}});
    return 0;
}

// The writer's picture path: one recoder for the whole run, as CreatePDF
// keeps it.
int picturePathChild(const QStringList &pictures, const QString &results)
{
    double bytes = 0;
    const double start = now(), cpuStart = cpuNow();
    platform::JpegRecoder recoder(kStage, kQuality);
    for (const QString &path : pictures) {
        QString error;
        const QByteArray jpeg = recoder.recodeFile(path, &error);
        if (jpeg.isEmpty())
            die(qPrintable(error));
        bytes += double(jpeg.size());
    }
    writeResults(results, {{"inner", now() - start}, {"innercpu", cpuNow() - cpuStart}, {"bytes", bytes}});
    return 0;
}

// ---------------------------------------------------------------- the writer

// The authoring tool of FLA mode: the export picture of a frame is that
// frame's picture, linked rather than copied so the tool costs next to
// nothing.
QStringList exportSources;
void FakeAuthoringCall(const char *name, const int32_t *args, uint32_t count)
{
    if (std::strcmp(name, "getFrame") != 0 || count != 1 || args[0] < 0 || args[0] >= exportSources.size())
        return;
    const QByteArray target = QFile::encodeName(ExportImageFileName());
    const QByteArray source = QFile::encodeName(exportSources.at(args[0]));
    ::unlink(target.constData());
    if (::link(source.constData(), target.constData()) != 0)
        QFile::copy(exportSources.at(args[0]), ExportImageFileName());
}

int writerChild(int argc, char **argv, bool swf, const QStringList &pictures, const QString &output,
                const QString &engine, const QString &results)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("qt.*.warning=false"));
    platform::keepFreedMemory();
    QApplication app(argc, argv);

    const double setupStart = now();
    SetEngineLibraryPath(engine);
    QStringList errors;
    SetErrorSink([&errors](const QString &text) {
        errors << text;
        std::fprintf(stderr, "pdf_sheet: %s\n", qPrintable(text));
    });
    const QFileInfo out(output);
    IsSWFMode = swf;
    MovieWidth = kStage.width();
    MovieHeight = kStage.height();
    AppTitle = QStringLiteral("Tessory v1.0");
    TempImageBase = out.absoluteDir().filePath(QStringLiteral("VELUMOR"));

    // The wizard's defaults, but for the grid and the viewer.
    TSheetSettings c;
    c.OutputFile = out.absoluteFilePath();
    c.SetFramesPerPage = true;
    c.Columns = 4;
    c.Rows = 5;
    c.LabelFrames = true;
    c.Resolution = 72;
    c.Quality = kQuality;
    c.ViewFile = false;

    const int n = pictures.size();
    TSceneInfo scene;
    scene.FrameCount = n;
    for (int i = 0; i < n; ++i)
        scene.FrameLabels << QString();
    Scenes = {scene};
    TFrameSelection selection;
    for (int i = 0; i < n; ++i) {
        TFrame f;
        f.FrameIndex = i;
        f.SceneIndex = 0;
        f.FileName = pictures.at(i);
        selection.Frames.push_back(f);
    }
    exportSources = pictures;
    std::unique_ptr<TFlashServer> server;
    if (!swf) {
        server = std::make_unique<TFlashServer>(FakeAuthoringCall, 0, MovieWidth, MovieHeight, 0);
        FlashServer = server.get();
    }
    const double setup = now() - setupStart;

    const double start = now(), cpuStart = cpuNow();
    ExpandLabelTexts(selection, c.NonKeyFrameLabel, c.KeyFrameLabel);
    MeasureLabelTexts(selection, c.LabelFont);
    TPDFCreator creator(&selection);
    if (!creator.CalculateLayout(c, TSheetSetting::Other))
        die("the layout failed");
    const double layout = now() - start;
    std::unique_ptr<TPictureSource> source;
    if (swf)
        source = std::make_unique<TCapturedPictures>(QSize(MovieWidth, MovieHeight));
    else
        source = std::make_unique<TExportedPictures>(*server);
    const bool written = creator.CreatePDF(c, *source);
    const double inner = now() - start;
    const double innerCpu = cpuNow() - cpuStart;
    FlashServer = nullptr;
    if (!written || !errors.isEmpty())
        die("the PDF was not written");
    writeResults(results, {{"inner", inner},
                           {"innercpu", innerCpu},
                           {"setup", setup},
                           {"layout", layout},
                           {"pages", double(creator.PageCount())},
                           {"columns", double(creator.Columns())},
                           {"rows", double(creator.Rows())}});
    return 0;
}

int childMain(int argc, char **argv)
{
    // --child MODE LIST OUTPUT ENGINE RESULTS
    if (argc != 7)
        die("usage: --child MODE LIST OUTPUT ENGINE RESULTS");
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QStringList pictures = readList(QString::fromLocal8Bit(argv[3]));
    const QString output = QString::fromLocal8Bit(argv[4]);
    const QString engine = QString::fromLocal8Bit(argv[5]);
    const QString results = QString::fromLocal8Bit(argv[6]);
    if (mode == QLatin1String("bare") || mode == QLatin1String("bare+scale") || mode == QLatin1String("full+scale"))
        return bareChild(mode, pictures, results);
    if (mode == QLatin1String("picture"))
        return picturePathChild(pictures, results);
    if (mode == QLatin1String("swf") || mode == QLatin1String("fla"))
        return writerChild(1, argv, mode == QLatin1String("swf"), pictures, output, engine, results);
    die("unknown mode");
}

// ---------------------------------------------------------------- pictures

QImage flatFrame(int i)
{
    QImage image(kPicture, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((i * 7) % 360, 40, 235));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const double t = i / 25.0;
    // A ground, a sun, a walking figure and a box that turns.
    p.setBrush(QColor::fromHsv(100 + (i / 50) % 60, 160, 140));
    p.drawRect(QRectF(0, 620, kPicture.width(), 213));
    p.setBrush(QColor(250, 210, 60));
    p.drawEllipse(QPointF(900 - 3.0 * (i % 200), 150 + 40 * std::sin(t)), 90, 90);
    const double x = 100 + (i * 9) % 900;
    p.setBrush(QColor::fromHsv((i * 13) % 360, 200, 200));
    p.drawEllipse(QPointF(x, 380), 45, 45);
    p.drawRoundedRect(QRectF(x - 40, 430, 80, 150), 20, 20);
    p.save();
    p.translate(700, 520);
    p.rotate(i * 3.0);
    p.setBrush(QColor(90, 60, 160));
    p.drawRect(QRectF(-70, -70, 140, 140));
    p.restore();
    p.setBrush(QColor(30, 30, 30));
    p.drawPolygon(QPolygonF({QPointF(200, 620), QPointF(260 + 20 * std::cos(t), 470), QPointF(320, 620)}));
    p.end();
    return image;
}

QImage noisyFrame(quint32 seed)
{
    QImage image(kPicture, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < image.height(); ++y)
        random.fillRange(reinterpret_cast<quint32 *>(image.scanLine(y)), size_t(image.width()));
    return image;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        die(qPrintable(QStringLiteral("cannot write %1").arg(path)));
}

struct PictureSet {
    QString kind;
    QStringList files;  // one per frame
    int distinct = 0;
    double bytes = 0;   // of the distinct files
    double seconds = 0;
};

PictureSet makeFlat(const QString &folder, int count)
{
    PictureSet set{QStringLiteral("flat")};
    const double start = now();
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/frame%2.jpg").arg(folder).arg(i + 1, 4, 10, QLatin1Char('0'));
        const QByteArray jpeg = platform::encodeJpeg(flatFrame(i), 100);
        writeFile(path, jpeg);
        set.files << path;
        set.bytes += double(jpeg.size());
    }
    set.distinct = count;
    set.seconds = now() - start;
    return set;
}

PictureSet makeNoisy(const QString &folder, int count)
{
    PictureSet set{QStringLiteral("noisy")};
    const double start = now();
    QDir().mkpath(folder);
    set.distinct = std::min(count, kNoisePool);
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/frame%2.jpg").arg(folder).arg(i + 1, 4, 10, QLatin1Char('0'));
        if (i < set.distinct) {
            const QByteArray jpeg = platform::encodeJpeg(noisyFrame(quint32(i + 1)), 100);
            writeFile(path, jpeg);
            set.bytes += double(jpeg.size());
        } else if (::link(QFile::encodeName(set.files.at(i % set.distinct)).constData(),
                          QFile::encodeName(path).constData()) != 0) {
            die("cannot link a noisy picture");
        }
        set.files << path;
    }
    set.seconds = now() - start;
    return set;
}

// ---------------------------------------------------------------- running

struct Run {
    bool ran = false;
    bool ok = false;
    bool timedOut = false;
    double wall = 0;
    double cpu = 0;
    double peakMiB = 0;
    double outBytes = 0;
    int pages = -1;
    std::map<std::string, double> values;
    QString note;
};

// Runs program with args, stdout and stderr to log; extra environment
// entries are added for it alone. Kills it after timeout seconds (0: none).
Run runProcess(const QString &program, const QStringList &args, const QStringList &extraEnv, const QString &log,
               double timeout = 0)
{
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString &a : args)
        storage.push_back(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> envStorage;
    for (const QString &e : extraEnv)
        envStorage.push_back(e.toLocal8Bit());
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        const QByteArray key = entry.left(entry.indexOf('=') + 1);
        bool replaced = false;
        for (const QString &x : extraEnv)
            replaced = replaced || x.toLocal8Bit().startsWith(key);
        if (!replaced)
            envStorage.push_back(entry);
    }
    std::vector<char *> envp;
    for (QByteArray &s : envStorage)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    const QByteArray logName = QFile::encodeName(log);

    Run run;
    std::fflush(nullptr);
    const double start = now();
    const pid_t pid = fork();
    if (pid < 0)
        die("fork failed");
    if (pid == 0) {
        const int fd = ::open(logName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::close(fd);
        }
        ::execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = wait4(pid, &status, timeout > 0 ? WNOHANG : 0, &usage);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            die("wait4 failed");
        if (timeout > 0 && now() - start > timeout) {
            ::kill(pid, SIGKILL);
            run.timedOut = true;
            while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
            }
            break;
        }
        usleep(20000);
    }
    run.wall = now() - start;
    run.ran = true;
    run.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakMiB = usage.ru_maxrss / 1024.0; // KiB on Linux
    run.ok = !run.timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!run.ok && !run.timedOut) {
        QFile file(log);
        if (file.open(QIODevice::ReadOnly))
            run.note = QString::fromLocal8Bit(file.readAll().right(400)).trimmed();
        if (run.note.isEmpty())
            run.note = QStringLiteral("exit status %1").arg(status);
    }
    return run;
}

int pdfPages(const QString &pdf)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    if (!info.waitForFinished(120000) || info.exitCode() != 0)
        return -1;
    const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromLatin1(info.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString pdfPageSize(const QString &pdf)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished(120000);
    const auto match = QRegularExpression(QStringLiteral("Page size:\\s+([^\\n]+)")).match(QString::fromLatin1(info.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).trimmed() : QStringLiteral("?");
}

// The first picture of page 1 as stored in the PDF.
QByteArray firstImage(const QString &pdf, const QString &prefix)
{
    QProcess extract;
    extract.start(QStringLiteral("pdfimages"), {QStringLiteral("-j"), QStringLiteral("-f"), QStringLiteral("1"),
                                                QStringLiteral("-l"), QStringLiteral("1"), pdf, prefix});
    if (!extract.waitForFinished(120000) || extract.exitCode() != 0)
        return {};
    QFile file(prefix + QStringLiteral("-000.jpg"));
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    const QDir dir = QFileInfo(prefix).absoluteDir();
    for (const QString &name : dir.entryList({QFileInfo(prefix).fileName() + QStringLiteral("-*")}, QDir::Files))
        QFile::remove(dir.filePath(name));
    return bytes;
}

// The stored size of the first picture of page 1, from pdfimages -list.
QString firstImageSize(const QString &pdf)
{
    QProcess list;
    list.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), QStringLiteral("-f"), QStringLiteral("1"),
                                             QStringLiteral("-l"), QStringLiteral("1"), pdf});
    list.waitForFinished(120000);
    const auto match = QRegularExpression(QStringLiteral("\\n\\s*1\\s+0\\s+image\\s+(\\d+)\\s+(\\d+)\\s+\\S+\\s+\\d+\\s+\\d+\\s+(\\S+)"))
                           .match(QString::fromLatin1(list.readAllStandardOutput()));
    return match.hasMatch() ? QStringLiteral("%1x%2 %3").arg(match.captured(1), match.captured(2), match.captured(3))
                            : QStringLiteral("?");
}

QString mb(double bytes) { return QString::number(bytes / 1e6, 'f', 1); }

struct Row {
    QString kind;
    int frames;
    QString name;
    Run run;
    QString check;
};

QString seconds(const Run &x, const char *key)
{
    return x.values.count(key) ? QString::number(x.values.at(key), 'f', 2) : QStringLiteral("-");
}

void printRow(const Row &r)
{
    const Run &x = r.run;
    QString wall = QStringLiteral("-");
    if (x.timedOut)
        wall = QStringLiteral("> %1").arg(x.wall, 0, 'f', 0);
    else if (x.ran)
        wall = QString::number(x.wall, 'f', 2);
    const QString cpu = x.ran ? QString::number(x.cpu, 'f', 2) : QStringLiteral("-");
    const QString peak = x.ran ? QString::number(x.peakMiB, 'f', 0) : QStringLiteral("-");
    const QString out = x.outBytes > 0 ? mb(x.outBytes) : QStringLiteral("-");
    std::printf("%-6s %5d  %-13s %8s %8s %8s %8s %8s %8s  %s\n", qPrintable(r.kind), r.frames, qPrintable(r.name),
                qPrintable(wall), qPrintable(cpu), qPrintable(seconds(x, "inner")),
                qPrintable(seconds(x, "innercpu")), qPrintable(peak), qPrintable(out), qPrintable(r.check));
    std::fflush(stdout);
}

QString ratio(double a, double b) { return b > 0 && a > 0 ? QString::number(a / b, 'f', 2) : QStringLiteral("n/a"); }

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);

    QList<int> frameCounts{200, 1000};
    QStringList kinds{QStringLiteral("flat"), QStringLiteral("noisy")};
    double montageTimeout = 300;
    int montageFrames = 1 << 30;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (a == "--frames" && hasValue) {
            frameCounts.clear();
            for (const QByteArray &n : QByteArray(argv[++i]).split(','))
                if (n.toInt() > 0)
                    frameCounts << n.toInt();
        } else if (a == "--kinds" && hasValue) {
            kinds = QString::fromLatin1(argv[++i]).split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else if (a == "--montage-timeout" && hasValue) {
            montageTimeout = QByteArray(argv[++i]).toDouble();
        } else if (a == "--montage-frames" && hasValue) {
            montageFrames = QByteArray(argv[++i]).toInt();
        } else if (a == "--keep") {
            keep = true;
        } else {
            std::fprintf(stderr,
                         "usage: pdf_sheet [--frames 200,1000] [--kinds flat,noisy] [--montage-timeout S] "
                         "[--montage-frames N] [--keep]\n");
            return 2;
        }
    }
    if (frameCounts.isEmpty() || kinds.isEmpty())
        die("nothing to measure");
    std::sort(frameCounts.begin(), frameCounts.end());
    const int most = frameCounts.last();

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString engine = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/wPDF200A.so");
    if (!QFileInfo::exists(engine))
        die(qPrintable(QStringLiteral("the engine library %1 is not built (ninja wpdf)").arg(engine)));
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        die("pdfinfo (poppler-utils) is needed to check the sheets");
    const QString img2pdf = QStandardPaths::findExecutable(QStringLiteral("img2pdf"));
    const QString montage = QStandardPaths::findExecutable(QStringLiteral("montage"));

    QTemporaryDir temp(QDir::tempPath() + QStringLiteral("/pdf_sheet-XXXXXX"));
    if (!temp.isValid())
        die("cannot make a temporary folder");
    temp.setAutoRemove(!keep);
    const QString root = temp.path();

    struct statvfs fs{};
    statvfs(QFile::encodeName(root).constData(), &fs);
    const double freeBytes = double(fs.f_bavail) * double(fs.f_frsize);
    // Flat pictures under 0.1 MB each, the noisy pool ~2 MB each, and the largest
    // output (noisy, passed through) with the engine's spool beside it.
    const double needed = most * 0.15e6 + std::min(most, kNoisePool) * 2e6 + 2.0 * most * 2e6;
    std::printf("pdf_sheet: temporary folder %s, %.1f GB free, about %.1f GB needed\n", qPrintable(root),
                freeBytes / 1e9, needed / 1e9);
    if (freeBytes < needed)
        die("not enough free space in the temporary folder; use --frames with fewer frames");

    const QStringList magickEnv = MagickEnvironment(root);

    std::vector<PictureSet> sets;
    for (const QString &kind : kinds) {
        if (kind == QLatin1String("flat"))
            sets.push_back(makeFlat(root + QStringLiteral("/flat"), most));
        else if (kind == QLatin1String("noisy"))
            sets.push_back(makeNoisy(root + QStringLiteral("/noisy"), most));
        else
            die("kinds are flat and noisy");
        const PictureSet &s = sets.back();
        std::printf("pdf_sheet: %d %s pictures %dx%d q100 in %.1f s: %d distinct files, %.0f KB each on average%s\n",
                    int(s.files.size()), qPrintable(s.kind), kPicture.width(), kPicture.height(), s.seconds, s.distinct,
                    s.bytes / s.distinct / 1e3,
                    s.distinct < s.files.size()
                        ? qPrintable(QStringLiteral("; frames past %1 are hard links to them in turn").arg(s.distinct))
                        : "");
    }
    std::printf("pdf_sheet: img2pdf %s, montage %s (timeout %.0f s%s)\n",
                img2pdf.isEmpty() ? "skipped (img2pdf not installed)" : qPrintable(img2pdf),
                montage.isEmpty() ? "skipped (imagemagick not installed)" : qPrintable(montage), montageTimeout,
                montageFrames < most ? qPrintable(QStringLiteral(", at most %1 frames").arg(montageFrames)) : "");
    std::printf("\nwall, cpu: seconds of the whole process, elapsed and user+system; inner, in-cpu: the same for\n"
                "the measured work inside it (no start-up, no Qt set-up); peak: the process's ru_maxrss in MiB;\n"
                "out: MB written (PDF, or JPEG data kept in memory). Cases run one after another:\n"
                "  bare          libjpeg: decode shrunk 4/8 by DCT scaling (573x417), encode its top left\n"
                "                550x400 at q70\n"
                "  bare+scale    the same decode, Qt smooth scale to 550x400, libjpeg encode q70\n"
                "  full+scale    full 1146x833 decode, Qt smooth scale to 550x400, libjpeg encode q70\n"
                "  picture path  the writer's picture recoder alone; no PDF\n"
                "  (a) SWF       CreatePDF, A4, 4x5, labels, pictures re-encoded at 72 dpi q70\n"
                "  (b) FLA       CreatePDF, the export pictures passed through unchanged\n"
                "  img2pdf       the pictures unchanged, one a page\n"
                "  montage       ImageMagick: 4x5 tiles 550x400 (read with -define jpeg:size), file name\n"
                "                labels, JPEG q70, A4 pages\n\n");
    std::printf("%-6s %5s  %-13s %8s %8s %8s %8s %8s %8s  %s\n", "kind", "n", "case", "wall", "cpu", "inner",
                "in-cpu", "peak MiB", "out MB", "check");

    std::vector<Row> rows;
    bool failed = false;
    for (const PictureSet &set : sets) {
        for (const int n : frameCounts) {
            const QString tag = QStringLiteral("%1-%2").arg(set.kind).arg(n);
            const QString list = root + QStringLiteral("/%1.list").arg(tag);
            writeFile(list, set.files.mid(0, n).join(QLatin1Char('\n')).toUtf8() + '\n');
            const int sheets = (n + kPerPage - 1) / kPerPage;

            const auto child = [&](const QString &mode, const QString &output, const QStringList &env = {}) {
                const QString results = root + QStringLiteral("/%1-%2.results").arg(tag, mode);
                Run run = runProcess(self, {QStringLiteral("--child"), mode, list, output, engine, results},
                                     QStringList{QStringLiteral("QT_QPA_PLATFORM=offscreen")} + env,
                                     root + QStringLiteral("/%1-%2.log").arg(tag, mode));
                run.values = readResults(results);
                if (run.ok && !run.values.count("inner")) {
                    run.ok = false;
                    run.note = QStringLiteral("no results");
                }
                return run;
            };
            const auto record = [&](const QString &name, Run run, const QString &pdf, int pages, bool required) {
                Row row{set.kind, n, name, run, QString()};
                if (!run.ran) {
                    row.check = run.note;
                } else if (run.timedOut) {
                    row.check = QStringLiteral("stopped after the timeout");
                } else if (!run.ok) {
                    row.check = QStringLiteral("FAILED: ") + run.note.simplified().left(160);
                    failed = failed || required;
                } else if (!pdf.isEmpty()) {
                    row.run.outBytes = double(QFileInfo(pdf).size());
                    row.run.pages = pdfPages(pdf);
                    row.check = QStringLiteral("%1 pages").arg(row.run.pages);
                    if (row.run.pages != pages) {
                        row.check = QStringLiteral("FAILED: %1 pages, not %2").arg(row.run.pages).arg(pages);
                        row.run.ok = false;
                        failed = true;
                    }
                } else {
                    row.run.outBytes = run.values.count("bytes") ? run.values.at("bytes") : 0;
                    row.check = QStringLiteral("JPEG in memory");
                }
                printRow(row);
                rows.push_back(row);
                return row;
            };

            for (const QString &mode : {QStringLiteral("bare"), QStringLiteral("bare+scale"),
                                        QStringLiteral("full+scale"), QStringLiteral("picture")}) {
                const Run run = child(mode, QString());
                Row row = record(mode == QLatin1String("picture") ? QStringLiteral("picture path") : mode, run,
                                 QString(), 0, true);
                if (run.ok && mode == QLatin1String("picture")) {
                    // one call per picture: no parts to show
                } else if (run.ok && mode != QLatin1String("bare")) {
                    const auto &v = run.values;
                    std::printf("%13s decode %.2f s, scale %.2f s, encode %.2f s\n", "", v.at("decode"),
                                v.at("scale"), v.at("encode"));
                } else if (run.ok) {
                    std::printf("%13s read %.2f s, decode %.2f s, encode %.2f s\n", "", run.values.at("read"),
                                run.values.at("decode"), run.values.at("encode"));
                }
            }

            const QString swfPdf = root + QStringLiteral("/%1-swf.pdf").arg(tag);
            Row swf = record(QStringLiteral("(a) SWF"), child(QStringLiteral("swf"), swfPdf), swfPdf, sheets, true);
            if (swf.run.ok) {
                std::printf("%13s page %s, grid %gx%g, first picture %s; layout %.2f s, set-up %.2f s\n", "",
                            qPrintable(pdfPageSize(swfPdf)), swf.run.values["columns"], swf.run.values["rows"],
                            qPrintable(firstImageSize(swfPdf)), swf.run.values["layout"], swf.run.values["setup"]);
            }
            QFile::remove(swfPdf);

            const QString flaPdf = root + QStringLiteral("/%1-fla.pdf").arg(tag);
            Row fla = record(QStringLiteral("(b) FLA"), child(QStringLiteral("fla"), flaPdf), flaPdf, sheets, true);
            if (fla.run.ok) {
                const bool same = firstImage(flaPdf, root + QStringLiteral("/extracted")) == readAll(set.files.first());
                std::printf("%13s first picture %s the frame's file byte for byte\n", "", same ? "is" : "IS NOT");
                if (!same) {
                    failed = true;
                    rows.back().run.ok = false;
                }
            }
            QFile::remove(flaPdf);

            const QString imgPdf = root + QStringLiteral("/%1-img2pdf.pdf").arg(tag);
            if (img2pdf.isEmpty()) {
                Run none;
                none.note = QStringLiteral("skipped (img2pdf not installed)");
                record(QStringLiteral("img2pdf"), none, QString(), 0, false);
            } else {
                QStringList args = set.files.mid(0, n);
                args << QStringLiteral("-o") << imgPdf;
                record(QStringLiteral("img2pdf"),
                       runProcess(img2pdf, args, {}, root + QStringLiteral("/%1-img2pdf.log").arg(tag)), imgPdf, n,
                       false);
            }
            QFile::remove(imgPdf);

            const QString montagePdf = root + QStringLiteral("/%1-montage.pdf").arg(tag);
            if (montage.isEmpty() || n > montageFrames) {
                Run none;
                none.note = montage.isEmpty() ? QStringLiteral("skipped (imagemagick not installed)")
                                              : QStringLiteral("skipped (more than %1 frames)").arg(montageFrames);
                record(QStringLiteral("montage"), none, QString(), 0, false);
            } else {
                QStringList args{QStringLiteral("-define"),
                                 QStringLiteral("jpeg:size=%1x%2").arg(kStage.width()).arg(kStage.height()),
                                 QStringLiteral("-label"), QStringLiteral("%t")};
                args << set.files.mid(0, n);
                args << QStringLiteral("-tile") << QStringLiteral("4x5") << QStringLiteral("-geometry")
                     << QStringLiteral("%1x%2+4+4").arg(kStage.width()).arg(kStage.height())
                     << QStringLiteral("-background") << QStringLiteral("white") << QStringLiteral("-compress")
                     << QStringLiteral("JPEG") << QStringLiteral("-quality") << QString::number(kQuality)
                     << QStringLiteral("-page") << QStringLiteral("A4") << montagePdf;
                record(QStringLiteral("montage"),
                       runProcess(montage, args, magickEnv, root + QStringLiteral("/%1-montage.log").arg(tag),
                                  montageTimeout),
                       montagePdf, sheets, false);
            }
            QFile::remove(montagePdf);
        }
    }

    // Ratios: the writer's own work against the bare libjpeg work (inner
    // times), whole processes against whole processes for the tools.
    const auto find = [&](const QString &kind, int n, const QString &name) -> const Run * {
        for (const Row &r : rows)
            if (r.kind == kind && r.frames == n && r.name == name)
                return r.run.ok || r.run.timedOut ? &r.run : nullptr;
        return nullptr;
    };
    const auto inner = [](const Run *r) { return r && r->values.count("inner") ? r->values.at("inner") : 0.0; };
    const auto wall = [](const Run *r) { return r && !r->timedOut ? r->wall : 0.0; };
    const auto overRatio = [&](const Run *slow, const Run *fast) {
        if (slow && slow->timedOut && fast)
            return QStringLiteral("> %1").arg(ratio(slow->wall, fast->wall));
        return ratio(wall(slow), wall(fast));
    };

    const auto innerCpu = [](const Run *r) {
        return r && r->values.count("innercpu") ? r->values.at("innercpu") : 0.0;
    };
    const auto cpu = [](const Run *r) { return r && !r->timedOut ? r->cpu : 0.0; };
    const auto line = [](const QString &kind, int n, const char *what, const QString &byWall, const QString &byCpu,
                         const char *target) {
        std::printf("%-6s %5d  %-28s %8s %8s   %s\n", qPrintable(kind), n, what, qPrintable(byWall),
                    qPrintable(byCpu), target);
    };
    std::printf("\nratios%34s %8s   %s\n", "wall", "cpu", "target");
    QStringList misses;
    for (const PictureSet &set : sets) {
        for (const int n : frameCounts) {
            const Run *a = find(set.kind, n, QStringLiteral("(a) SWF"));
            const Run *b = find(set.kind, n, QStringLiteral("(b) FLA"));
            const Run *bare = find(set.kind, n, QStringLiteral("bare"));
            const Run *bareScale = find(set.kind, n, QStringLiteral("bare+scale"));
            const Run *picture = find(set.kind, n, QStringLiteral("picture path"));
            const Run *img = find(set.kind, n, QStringLiteral("img2pdf"));
            const Run *mont = find(set.kind, n, QStringLiteral("montage"));
            line(set.kind, n, "(a)/bare, inner", ratio(inner(a), inner(bare)), ratio(innerCpu(a), innerCpu(bare)),
                 "<= 1.5");
            line(set.kind, n, "(a)/bare+scale, inner", ratio(inner(a), inner(bareScale)),
                 ratio(innerCpu(a), innerCpu(bareScale)), "");
            line(set.kind, n, "(a)/picture path, inner", ratio(inner(a), inner(picture)),
                 ratio(innerCpu(a), innerCpu(picture)), "");
            line(set.kind, n, "(b)/img2pdf, process", ratio(wall(b), wall(img)), ratio(cpu(b), cpu(img)), "<= 1.0");
            line(set.kind, n, "montage/(a), process", overRatio(mont, a), ratio(cpu(mont), cpu(a)), "");
            line(set.kind, n, "montage/(b), process", overRatio(mont, b), ratio(cpu(mont), cpu(b)), "");
            // The machine is shared: a target counts as met when the CPU
            // time meets it, elapsed time being at the mercy of others.
            if (!a || !bare || innerCpu(a) > 1.5 * innerCpu(bare))
                misses << QStringLiteral("%1 %2 (a)/bare").arg(set.kind).arg(n);
            if (img && (!b || cpu(b) > 1.0 * cpu(img)))
                misses << QStringLiteral("%1 %2 (b)/img2pdf").arg(set.kind).arg(n);
        }
    }
    std::printf("\npeak memory (MiB)%41s    target\n", "growth");
    for (const PictureSet &set : sets) {
        for (const QString &name : {QStringLiteral("(a) SWF"), QStringLiteral("(b) FLA")}) {
            const bool target = true;
            QString figures;
            double low = 0, high = 0;
            for (const int n : frameCounts) {
                const Run *r = find(set.kind, n, name);
                figures += QStringLiteral("  %1: %2").arg(n).arg(r ? QString::number(r->peakMiB, 'f', 0) : QStringLiteral("-"));
                if (r && n == frameCounts.first())
                    low = r->peakMiB;
                if (r && n == frameCounts.last())
                    high = r->peakMiB;
                if (target && (!r || r->peakMiB >= 300))
                    misses << QStringLiteral("%1 %2 at %3 frames over 300 MiB").arg(set.kind, name).arg(n);
            }
            // Flat: what grows with the frame count is bookkeeping, not
            // pictures; a few KiB a frame at most.
            const double growth = high - low;
            std::printf("%-6s %-10s%-32s %+7.1f %s\n", qPrintable(set.kind), qPrintable(name), qPrintable(figures),
                        growth, target ? "< 300, flat (+ < 10)" : "");
            if (target && (low <= 0 || growth >= 10))
                misses << QStringLiteral("%1 %2 memory").arg(set.kind, name);
        }
    }
    std::printf("\ntargets %s\n", misses.isEmpty() ? "met" : qPrintable(QStringLiteral("NOT met: ") + misses.join(QStringLiteral(", "))));
    if (keep)
        std::printf("pictures kept in %s\n", qPrintable(root));
    return failed ? 1 : 0;
}
