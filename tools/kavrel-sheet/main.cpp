// kavrel-sheet: a contact sheet of a movie from the shell, with the wizard's
// layout, labels and PDF writer, and its settings as the defaults.
#include "core/FrameChoice.h"
#include "core/Global.h"
#include "core/Registry.h"
#include "core/SettingNames.h"
#include "core/Startup.h"
#include "movie/MovieDocument.h"
#include "platform/KeyStore.h"
#include "platform/MemoryPolicy.h"
#include "platform/RegularFile.h"
#include "engines/flashplayer/SwfPlayer.h"
#include "engines/flashplayer/SwfReader.h"
#include "sheet/LabelPatterns.h"
#include "sheet/PDFCreator.h"
#include "sheet/RenderedPictures.h"
#include "sheet/SheetHost.h"
#include "sheet/SheetProgress.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

struct UsageError {
    QString message;
};

void say(const QString &line)
{
    std::fprintf(stderr, "kavrel-sheet: %s\n", line.toLocal8Bit().constData());
}

// Messages of the writer and the engine are sentences with line breaks for
// a window; one line each here.
QString oneLine(QString text)
{
    return text.replace(u'\n', u' ');
}

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int)
{
    interrupted = true;
}

// The frames to put on the sheet.
struct FrameRequest {
    TFrameFilter filter = TFrameFilter::OneFrameFromEvery;
    int n = 10;
    QString list;
};

struct Request {
    QString movie;
    TSheetSettings settings;
    FrameRequest frames;
    bool quiet = false;
};

QList<QCommandLineOption> options()
{
    // Descriptions live in the help text, which also shows the defaults.
    const char *const valued[][2] = {
        {"output", "FILE"},     {"every", "N"},         {"total", "N"},           {"frames", "LIST"},
        {"page", "SIZE"},       {"orientation", "O"},   {"margins", "MM"},        {"spacing", "MM"},
        {"label-spacing", "MM"}, {"columns", "N"},      {"rows", "N"},            {"resolution", "DPI"},
        {"quality", "Q"},       {"label", "PATTERN"},   {"font", "FAMILY"},       {"font-size", "PT"},
        {"label-color", "RRGGBB"}, {"title", "TEXT"},   {"author", "TEXT"},       {"subject", "TEXT"},
        {"keywords", "TEXT"},   {"front", "FILE"},      {"password", "PASSWORD"}, {"password-file", "FILE"},
        {"encryption", "BITS"},
    };
    const char *const flags[] = {"all",        "key-frames", "center",      "no-center",   "fit",
                                 "no-labels",  "bold",       "italic",      "embed-font",  "no-printing",
                                 "no-changing", "no-copying", "no-settings", "version"};
    QList<QCommandLineOption> all;
    for (const auto &[name, value] : valued) {
        QStringList names{QString::fromLatin1(name)};
        if (names.front() == QLatin1String("output"))
            names.prepend(QStringLiteral("o"));
        all << QCommandLineOption(names, QString(), QString::fromLatin1(value));
    }
    for (const char *name : flags)
        all << QCommandLineOption(QString::fromLatin1(name));
    all << QCommandLineOption(QStringList{QStringLiteral("q"), QStringLiteral("quiet")})
        << QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    return all;
}

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

QString helpText(const TSheetSettings &s, const FrameRequest &f, bool fromSettings)
{
    const QString orientation[] = {"portrait", "landscape", "auto"};
    QString page = QStringLiteral("%1x%2").arg(s.PageWidth).arg(s.PageHeight);
    for (const TPageSize &size : PageSizes())
        if (size.Width == s.PageWidth && size.Height == s.PageHeight)
            page = QString::fromLatin1(size.Name);
    const QString grid = s.SetFramesPerPage ? QStringLiteral("%1 x %2").arg(s.Columns).arg(s.Rows)
                                            : QStringLiteral("as many as fit");
    QString text = QStringLiteral(
        "Usage: kavrel-sheet MOVIE.swf [-o OUT.pdf] [options]\n"
        "\n"
        "Writes a PDF contact sheet of the movie's frames: pictures in columns and\n"
        "rows, each with a label, as the wizard Kavrel writes it. The defaults, in\n"
        "brackets, are %1; options override them.\n"
        "\n"
        "  -o, --output FILE     the PDF file [the movie's name with .pdf]\n"
        "\n"
        "Frames (one of):\n"
        "  --every N             one frame from every N, the last one included [%2]\n"
        "  --total N             N frames spread evenly, first and last included\n"
        "  --frames LIST         frame numbers and ranges from 1, as 1,3,5-7\n"
        "  --all                 every frame\n"
        "  --key-frames          the frames where a character is placed or removed\n"
        "\n"
        "Page (lengths in whole millimetres):\n"
        "  --page SIZE           A4, A3, Letter, Legal, ... or WIDTHxHEIGHT [%3]\n"
        "  --orientation O       portrait, landscape (the page turned) or auto (the\n"
        "                        way that gives larger pictures) [%4]\n"
        "  --margins MM          all four, or TOP,RIGHT,BOTTOM,LEFT [%5,%6,%7,%8]\n"
        "  --spacing MM          space around each picture [%9]\n"
        "  --label-spacing MM    space around each label [%10]\n"
        "  --center, --no-center the pictures centred on the page [%11]\n"
        "\n"
        "Pictures:\n"
        "  --columns N, --rows N pictures per page; --fit: as many as fit at the size\n"
        "                        one picture per page would have [%12]\n"
        "  --resolution DPI      pixels per inch of the pictures in the PDF [%13]\n"
        "  --quality Q           their JPEG quality, 1 to 100 [%14]\n"
        "\n"
        "Labels:\n"
        "  --label PATTERN       <N> the frame's number, <L> its label in the movie,\n"
        "                        <F> the movie's file name [\"%15\"]\n"
        "  --no-labels           pictures only [labels %16]\n"
        "  --font FAMILY, --font-size PT, --bold, --italic [%17 %18]\n"
        "  --label-color RRGGBB  [%19]\n"
        "  --embed-font          embed the characters used, so any reader shows the\n"
        "                        font [%20]\n"
        "\n"
        "Document:\n"
        "  --title, --author, --subject, --keywords TEXT\n"
        "  --front FILE          a PDF whose pages come before the sheet\n"
        "  --password PASSWORD   needed to open the file, and for the owner's rights\n"
        "  --password-file FILE  the same from the first line of FILE (- for stdin)\n"
        "  --encryption BITS     40 or 128 [%21]\n"
        "  --no-printing, --no-changing, --no-copying   what a protected file forbids\n"
        "\n"
        "  --no-settings         the wizard's built-in defaults, not its settings\n"
        "  -q, --quiet           no progress\n"
        "  -h, --help, --version\n"
        "\n"
        "Progress goes to standard error when it is a terminal. Exit status: 0 the\n"
        "sheet was written, 1 it could not be (one line says why; no file is left\n"
        "under the name and an earlier one stays as it was), 2 a wrong command line.\n")
                       .arg(fromSettings ? QStringLiteral("those of the wizard's settings file")
                                         : QStringLiteral("the wizard's built-in ones"))
                       .arg(f.n)
                       .arg(page, orientation[int(s.Orientation)])
                       .arg(s.TopMargin)
                       .arg(s.RightMargin)
                       .arg(s.BottomMargin)
                       .arg(s.LeftMargin)
                       .arg(s.ImageSpace)
                       .arg(s.TextSpace)
                       .arg(onOff(s.CenterPageContents), grid)
                       .arg(s.Resolution)
                       .arg(s.Quality)
                       .arg(s.NonKeyFrameLabel, onOff(s.LabelFrames), s.LabelFont.family())
                       .arg(s.LabelFont.pointSize())
                       .arg(QStringLiteral("%1%2%3")
                                .arg(s.LabelColor & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg(s.LabelColor >> 8 & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg(s.LabelColor >> 16 & 0xFF, 2, 16, QLatin1Char('0')),
                            onOff(s.EmbedFontSubset))
                       .arg(s.Encryption128 ? 128 : 40);
    return text;
}

int wholeNumber(const QCommandLineParser &p, const QString &name, int low, int high)
{
    bool ok = false;
    const QString text = p.value(name);
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        throw UsageError{QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\".")
                             .arg(name)
                             .arg(low)
                             .arg(high)
                             .arg(text)};
    return v;
}

QString readPassword(const QString &path)
{
    QByteArray bytes;
    if (path == QLatin1String("-")) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            throw UsageError{QStringLiteral("The password cannot be read from standard input.")};
        bytes = in.readLine(4096);
    } else {
        const platform::FileContents file = platform::readRegularFile(path, 4096);
        if (file.status != platform::FileContents::Read)
            throw UsageError{file.reason};
        bytes = file.bytes.left(file.bytes.indexOf('\n') < 0 ? file.bytes.size() : file.bytes.indexOf('\n'));
    }
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    return QString::fromUtf8(bytes);
}

// The settings the sheet starts from: the wizard's file, or the defaults.
// Whatever the source, a tool neither keeps a password nor opens the file.
TSheetSettings toolSettings(TSheetSettings s)
{
    // Passwords are never stored: protection is asked for on the command line.
    s.Security = false;
    // Opening the finished file is the wizard's habit, not a tool's.
    s.ViewFile = false;
    return s;
}

TSheetSettings startingSettings(bool fromFile, FrameRequest &frames, bool quiet)
{
    if (!fromFile)
        return toolSettings(TSheetSettings());
    platform::IniKeyStore key(platform::tessorySettingsPath());
    const TRegistry reg(key);
    QStringList warnings;
    TSheetSettings s = ReadSheetSettings(reg, false, &warnings);
    const int n = reg.ReadInteger(SettingName::FrameFilterVal, frames.n);
    if (n >= 1)
        frames.n = n;
    else
        warnings << QStringLiteral("The setting %1 of \"%2\" is not a whole number from 1 on; %3 is used instead.")
                        .arg(SettingName::FrameFilterVal, reg.ReadString(SettingName::FrameFilterVal, QString()))
                        .arg(frames.n);
    if (!quiet)
        for (const QString &w : warnings)
            say(QStringLiteral("warning: %1").arg(w));
    return toolSettings(s);
}

Request parse(const QStringList &arguments)
{
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOptions(options());
    p.addPositionalArgument("movie", "");
    if (!p.parse(arguments))
        throw UsageError{p.errorText() + QStringLiteral(" See --help.")};

    Request r;
    r.quiet = p.isSet("quiet");
    r.settings = startingSettings(!p.isSet("no-settings"), r.frames, r.quiet || p.isSet("help"));
    TSheetSettings &s = r.settings;
    if (p.isSet("help")) {
        std::fputs(helpText(s, r.frames, !p.isSet("no-settings")).toLocal8Bit().constData(), stdout);
        std::exit(0);
    }
    if (p.isSet("version")) {
        std::printf("kavrel-sheet %s\n", TESSORY_VERSION);
        std::exit(0);
    }
    const QStringList movies = p.positionalArguments();
    if (movies.size() != 1)
        throw UsageError{movies.isEmpty() ? QStringLiteral("A movie is needed: kavrel-sheet MOVIE.swf [options].")
                                          : QStringLiteral("Only one movie can be given.")};
    r.movie = movies.front();
    s.OutputFile = p.isSet("output") ? p.value("output") : ChangeFileExt(r.movie, QStringLiteral(".pdf"));
    if (QFileInfo(s.OutputFile).isRelative())
        s.OutputFile = QFileInfo(s.OutputFile).absoluteFilePath();

    int chosen = 0;
    for (const char *name : {"every", "total", "frames", "all", "key-frames"})
        chosen += p.isSet(name);
    if (chosen > 1)
        throw UsageError{QStringLiteral("Choose the frames one way: --every, --total, --frames, --all or --key-frames.")};
    if (p.isSet("every")) {
        r.frames = {TFrameFilter::OneFrameFromEvery, wholeNumber(p, "every", 1, kMaxMovieFrames), {}};
    } else if (p.isSet("total")) {
        r.frames = {TFrameFilter::ATotalOf, wholeNumber(p, "total", 1, kMaxMovieFrames), {}};
    } else if (p.isSet("frames")) {
        r.frames.filter = TFrameFilter::SelectedFrames;
        r.frames.list = p.value("frames");
        if (!ParseSelectedFrames(r.frames.list))
            throw UsageError{QStringLiteral("--frames takes frame numbers and ranges from 1 such as 1,3,5-7, not "
                                            "\"%1\".")
                                 .arg(r.frames.list)};
    } else if (p.isSet("all")) {
        r.frames.filter = TFrameFilter::AllFrames;
    } else if (p.isSet("key-frames")) {
        r.frames.filter = TFrameFilter::KeyFrames;
    }

    if (p.isSet("page")) {
        const QString text = p.value("page");
        const auto size = QRegularExpression(QStringLiteral("^(\\d+)[xX](\\d+)$")).match(text);
        if (const TPageSize *named = FindPageSize(text)) {
            s.PageWidth = named->Width;
            s.PageHeight = named->Height;
        } else if (size.hasMatch() && size.captured(1).toInt() >= 10 && size.captured(2).toInt() >= 10 &&
                   size.captured(1).toInt() <= kMaxPageMillimetres && size.captured(2).toInt() <= kMaxPageMillimetres) {
            s.PageWidth = size.captured(1).toInt();
            s.PageHeight = size.captured(2).toInt();
        } else {
            throw UsageError{QStringLiteral("--page takes a size such as A4 or Letter, or WIDTHxHEIGHT in millimetres "
                                            "from 10 to %1, not \"%2\".")
                                 .arg(kMaxPageMillimetres)
                                 .arg(text)};
        }
        s.OrientationTag = TOrientation::Portrait;
    }
    if (p.isSet("orientation")) {
        const QString o = p.value("orientation").toLower();
        const TOrientation chosenOrientation = o == QLatin1String("portrait")    ? TOrientation::Portrait
                                               : o == QLatin1String("landscape") ? TOrientation::Landscape
                                               : o == QLatin1String("auto")      ? TOrientation::Auto
                                                                                 : TOrientation(-1);
        if (int(chosenOrientation) < 0)
            throw UsageError{QStringLiteral("--orientation takes portrait, landscape or auto, not \"%1\".")
                                 .arg(p.value("orientation"))};
        // As on the page setup step: choosing the other orientation turns the page.
        if (chosenOrientation != TOrientation::Auto && chosenOrientation != s.OrientationTag) {
            std::swap(s.PageWidth, s.PageHeight);
            s.OrientationTag = chosenOrientation;
        }
        s.Orientation = chosenOrientation;
    }
    if (p.isSet("margins")) {
        const QStringList parts = p.value("margins").split(u',');
        QVector<int> mm;
        for (const QString &part : parts) {
            bool ok = false;
            const int v = part.trimmed().toInt(&ok);
            if (!ok || v < 0 || v > kMaxPageMillimetres)
                mm.clear();
            if (!ok || v < 0 || v > kMaxPageMillimetres)
                break;
            mm << v;
        }
        if (mm.size() == 1)
            mm = {mm[0], mm[0], mm[0], mm[0]};
        if (mm.size() != 4 || mm.size() != (parts.size() == 1 ? 4 : parts.size()))
            throw UsageError{QStringLiteral("--margins takes one length or four (TOP,RIGHT,BOTTOM,LEFT) in whole "
                                            "millimetres, not \"%1\".")
                                 .arg(p.value("margins"))};
        s.TopMargin = mm[0];
        s.RightMargin = mm[1];
        s.BottomMargin = mm[2];
        s.LeftMargin = mm[3];
    }
    if (p.isSet("spacing"))
        s.ImageSpace = wholeNumber(p, "spacing", 0, kMaxPageMillimetres);
    if (p.isSet("label-spacing"))
        s.TextSpace = wholeNumber(p, "label-spacing", 0, kMaxPageMillimetres);
    if (p.isSet("center") && p.isSet("no-center"))
        throw UsageError{QStringLiteral("--center and --no-center exclude each other.")};
    if (p.isSet("center") || p.isSet("no-center"))
        s.CenterPageContents = p.isSet("center");

    if (p.isSet("fit") && (p.isSet("columns") || p.isSet("rows")))
        throw UsageError{QStringLiteral("--fit and --columns or --rows exclude each other.")};
    if (p.isSet("fit"))
        s.SetFramesPerPage = false;
    if (p.isSet("columns") || p.isSet("rows")) {
        if (!s.SetFramesPerPage)
            s.Columns = s.Rows = 1;
        s.SetFramesPerPage = true;
        if (p.isSet("columns"))
            s.Columns = wholeNumber(p, "columns", 1, kMaxCellsAcross);
        if (p.isSet("rows"))
            s.Rows = wholeNumber(p, "rows", 1, kMaxCellsAcross);
    }
    if (p.isSet("resolution"))
        s.Resolution = wholeNumber(p, "resolution", 10, 1200);
    if (p.isSet("quality"))
        s.Quality = wholeNumber(p, "quality", 1, 100);

    if (p.isSet("label") && p.isSet("no-labels"))
        throw UsageError{QStringLiteral("--label and --no-labels exclude each other.")};
    if (p.isSet("label")) {
        s.LabelFrames = true;
        s.NonKeyFrameLabel = p.value("label");
    }
    if (p.isSet("no-labels"))
        s.LabelFrames = false;
    if (p.isSet("font")) {
        if (p.value("font").trimmed().isEmpty())
            throw UsageError{QStringLiteral("--font needs a font family, such as \"DejaVu Sans\".")};
        s.LabelFont.setFamily(p.value("font"));
    }
    if (p.isSet("font-size"))
        s.LabelFont.setPointSize(wholeNumber(p, "font-size", 1, 1000));
    if (p.isSet("bold"))
        s.LabelFont.setBold(true);
    if (p.isSet("italic"))
        s.LabelFont.setItalic(true);
    if (p.isSet("label-color")) {
        QString text = p.value("label-color");
        if (text.startsWith(u'#'))
            text.remove(0, 1);
        bool ok = false;
        const uint rgb = text.toUInt(&ok, 16);
        if (!ok || text.size() != 6)
            throw UsageError{QStringLiteral("--label-color takes six hexadecimal digits RRGGBB, not \"%1\".")
                                 .arg(p.value("label-color"))};
        s.LabelColor = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
    }
    if (p.isSet("embed-font"))
        s.EmbedFontSubset = true;

    for (const auto &[name, field] : {std::pair{"title", &s.Title}, std::pair{"author", &s.Author},
                                      std::pair{"subject", &s.Subject}, std::pair{"keywords", &s.Keywords},
                                      std::pair{"front", &s.FrontFile}})
        if (p.isSet(name))
            *field = p.value(name);
    if (!s.FrontFile.isEmpty() && QFileInfo(s.FrontFile).isRelative())
        s.FrontFile = QFileInfo(s.FrontFile).absoluteFilePath();
    if (p.isSet("password") && p.isSet("password-file"))
        throw UsageError{QStringLiteral("--password and --password-file exclude each other.")};
    if (p.isSet("password") || p.isSet("password-file")) {
        s.Password = p.isSet("password") ? p.value("password") : readPassword(p.value("password-file"));
        if (s.Password.isEmpty())
            throw UsageError{QStringLiteral("The password is empty; give one, or leave the file unprotected.")};
        s.Security = true;
    }
    if (p.isSet("encryption")) {
        const QString bits = p.value("encryption");
        if (bits != QLatin1String("40") && bits != QLatin1String("128"))
            throw UsageError{QStringLiteral("--encryption takes 40 or 128, not \"%1\".").arg(bits)};
        s.Encryption128 = bits == QLatin1String("128");
    }
    if (p.isSet("no-printing"))
        s.PermitPrinting = false;
    if (p.isSet("no-changing"))
        s.PermitChanging = false;
    if (p.isSet("no-copying"))
        s.PermitCopying = false;
    return r;
}

// Progress on a terminal: one line, rewritten.
class TerminalProgress final : public TSheetProgress {
public:
    TerminalProgress(bool shown, const TRenderedPictures &pictures, int frames)
        : m_shown(shown), m_pictures(pictures), m_frames(frames)
    {
    }
    void Start(const QString &) override { SetProgress(0); }
    void SetProgress(int percent) override
    {
        if (m_shown)
            std::fprintf(stderr, "\rkavrel-sheet: %3d%% written, %d of %d frames drawn", percent, m_pictures.Drawn(),
                         m_frames);
    }
    bool Cancelled() const override { return interrupted; }
    void Finish() override
    {
        if (m_shown)
            std::fputs("\n", stderr);
    }

private:
    bool m_shown;
    const TRenderedPictures &m_pictures;
    int m_frames;
};

class ToolHost final : public TSheetHost {
public:
    ToolHost(const TSheetSettings &settings, TPictureSource &pictures, TSheetProgress &progress)
        : m_settings(settings), m_pictures(pictures), m_progress(progress)
    {
    }
    TSheetSettings Settings() const override { return m_settings; }
    TPictureSource &Pictures() override { return m_pictures; }
    TSheetProgress *Progress() override { return &m_progress; }

private:
    const TSheetSettings &m_settings;
    TPictureSource &m_pictures;
    TSheetProgress &m_progress;
};

int run(const Request &r)
{
    const TSheetSettings &s = r.settings;
    QString error;
    const auto movie = std::make_shared<const swf::Movie>(swf::readMovieFile(r.movie, &error));
    if (!movie->ok()) {
        say(error);
        return 1;
    }
    if (!r.quiet && (!movie->warnings.empty() || movie->droppedWarnings > 0))
        say(QStringLiteral("warning: the movie is damaged (%1 problems); what could be read is drawn, and "
                           "kavrel-frames --info tells more.")
                .arg(movie->warnings.size() + movie->droppedWarnings));

    // The shared model, as the wizard fills it for a movie it captures.
    IsSWFMode = true;
    MovieFileName = r.movie;
    AppTitle = QStringLiteral("Tessory v") + ReadProgramVersion(QCoreApplication::applicationFilePath());
    // Twips to whole pixels, toward zero, as the capture step reads the header.
    MovieWidth = std::max(1, int(movie->frameSize.xMax / 20));
    MovieHeight = std::max(1, int(movie->frameSize.yMax / 20));
    Scenes = {WholeMovieScene(*movie)};

    const TFrameChoice choice = ChooseFrames(Scenes, {0}, r.frames.filter, r.frames.n, r.frames.list);
    if (!choice.Error.isEmpty()) {
        say(choice.Error);
        return 2;
    }
    if (choice.Frames.isEmpty()) {
        say(QStringLiteral("No frame of the movie is chosen (it has %1); choose others.").arg(Scenes[0].FrameCount));
        return 1;
    }
    TFrameArr frames;
    for (const TChosenFrame &c : choice.Frames) {
        TFrame f;
        f.FrameIndex = c.FrameIndex;
        f.SceneIndex = c.SceneIndex;
        frames << f;
    }
    TFrameSelection selection;
    selection.Frames = frames;
    UpdateFrameLabels(selection, s);

    swf::Player player(movie);
    TRenderedPictures pictures(player, QSize(MovieWidth, MovieHeight));
    TerminalProgress progress(!r.quiet && ::isatty(STDERR_FILENO), pictures, frames.size());
    ToolHost host(s, pictures, progress);
    TPDFCreator creator(&selection);
    creator.SetHost(&host);

    bool layoutFailed = false;
    const ErrorSink previous = SetErrorSink([&layoutFailed](const QString &) { layoutFailed = true; });
    const bool laidOut = creator.CalculateLayout(s, TSheetSetting::Other);
    SetErrorSink(previous);
    if (!laidOut || layoutFailed) {
        say(QStringLiteral("The pictures and labels do not fit on the page; use a larger page or smaller margins, "
                           "spacing or font, shorter labels, or fewer columns and rows."));
        return 1;
    }
    if (!creator.CreatePDF(s, pictures)) {
        if (interrupted)
            say(QStringLiteral("Interrupted; no sheet was written."));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // Never shows a window; the offscreen platform gives the fonts labels
    // and text fields are measured and drawn with.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false\nqt.*.warning=false"));
    platform::keepFreedMemory();
    QApplication app(argc, argv);
    SetErrorSink([](const QString &text) { say(oneLine(text)); });
    SetWarningSink([](const QString &text) {
        for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts))
            say(QStringLiteral("warning: %1").arg(line));
    });
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    try {
        return run(parse(app.arguments()));
    } catch (const UsageError &e) {
        say(e.message);
        return 2;
    }
}
