// The contact sheet written with the real engine library and read back with
// the poppler tools and qpdf; the preview drawn from the same pages.
#include "SheetFixture.h"

#include "movie/FlashServer.h"
#include "pdfengine/WPPDFR2.h"
#include "platform/JpegImage.h"
#include "sheet/FontFile.h"
#include "sheet/LabelPatterns.h"
#include "sheet/PDFCreator.h"
#include "sheet/SheetProgress.h"
#include "support/ToolRun.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPalette>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

ToolResult Tool(const QString &program, const QStringList &args) { return RunTool(program, args); }

QString EngineLibrary()
{
    return qEnvironmentVariable("TESSORY_BIN", TESSORY_BIN_DIR) + QStringLiteral("/wPDF200A.so");
}

// Far apart hues, so a cell's colour tells which frame it shows.
QColor ColourOf(int frame)
{
    return QColor::fromHsv((frame * 67) % 360, 255, 120 + (frame * 53) % 120);
}

bool Near(QRgb a, QColor b, int tolerance = 16)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

class Recorder : public TSheetProgress {
public:
    void Start(const QString &caption) override { captions << caption; }
    void SetProgress(int percent) override
    {
        percents << percent;
        if (cancelAt > 0 && percents.size() >= cancelAt)
            cancelled = true;
    }
    bool Cancelled() const override { return cancelled; }
    void Finish() override { ++finished; }

    QStringList captions;
    QList<int> percents;
    int cancelAt = 0;
    bool cancelled = false;
    int finished = 0;
};

// The FLA-mode authoring tool: hands out the prepared picture of a frame.
QStringList exportSources;
void FakeAuthoringCall(const char *name, const int32_t *args, uint32_t count)
{
    if (QByteArray(name) != "getFrame" || count != 1 || args[0] < 0 || args[0] >= exportSources.size())
        return;
    QFile::remove(ExportImageFileName());
    QFile::copy(exportSources.at(args[0]), ExportImageFileName());
}

class PdfWriter : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetEngineLibraryPath(EngineLibrary());
        previousSink = SetErrorSink([this](const QString &text) { errors << text; });
        IsSWFMode = true;
        MovieWidth = 200;
        MovieHeight = 150;
        AppTitle = QStringLiteral("Tessory v1.0");
        TempImageBase = dir.filePath(QStringLiteral("VELUMOR"));
        s.LabelFont = QFont(QStringLiteral("DejaVu Sans"), 10);
        s.ViewFile = false;
        host.progress = &progress;
        s.OutputFile = Output();
        s.SetFramesPerPage = true;
        s.Columns = 2;
        s.Rows = 2;
        s.LeftMargin = 10;
        s.Orientation = TOrientation(0);
        creator.SetHost(&host);
    }
    void TearDown() override
    {
        SetErrorSink(previousSink);
        SetEngineLibraryPath(QString());
        IsSWFMode = true;
        FlashServer = nullptr;
        Scenes.clear();
    }

    // What the wizard would use in the mode: captured or exported pictures.
    TPictureSource &Pictures()
    {
        if (IsSWFMode)
            source = std::make_unique<TCapturedPictures>(QSize(MovieWidth, MovieHeight));
        else
            source = std::make_unique<TExportedPictures>(*FlashServer);
        return *source;
    }

    // n frames with pictures of 150 dpi whose colour names the frame.
    void MakeFrames(int n, QSize pixels = QSize(417, 313))
    {
        TSceneInfo scene;
        scene.FrameCount = n;
        for (int i = 0; i < n; ++i)
            scene.FrameLabels << QString();
        Scenes = {scene};
        TFrameArr frames = FramesOfScene(n);
        for (int i = 0; i < n; ++i) {
            QImage picture(pixels, QImage::Format_RGB32);
            picture.fill(ColourOf(i));
            const QByteArray jpeg = platform::encodeJpeg(picture, 90);
            frames[i].FileName = dir.filePath(QStringLiteral("frame%1.jpg").arg(i));
            QFile file(frames[i].FileName);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(jpeg);
            pictures << jpeg;
        }
        selection.Frames = frames;
        exportSources.clear();
        for (const TFrame &f : frames)
            exportSources << f.FileName;
        Relabel();
    }

    void Relabel()
    {
        if (s.LabelFrames) {
            ExpandLabelTexts(selection, QStringLiteral("Frame <N>"), QStringLiteral("Frame <N> *"));
            MeasureLabelTexts(selection, s.LabelFont);
        } else {
            for (TFrame &f : selection.Frames)
                f.LabelText.clear();
            selection.LabelWidth = selection.LabelHeight = 0;
        }
    }

    bool Write()
    {
        Relabel();
        if (!creator.CalculateLayout(s, TSheetSetting::None))
            return false;
        return creator.CreatePDF(s, Pictures());
    }

    QString Output() const { return dir.filePath(QStringLiteral("sheet.pdf")); }

    // A one-page front file made by the engine itself, with text when given.
    QString MakeFront(const QString &text = {})
    {
        const QString front = dir.filePath(QStringLiteral("Front.pdf"));
        TWPPDFPrinter pdf;
        pdf.SetFilename(front);
        pdf.BeginDoc();
        pdf.StartPage(300, 300);
        if (!text.isEmpty()) {
            pdf.Canvas().SetFont(QFont(QStringLiteral("DejaVu Sans"), 20), 0);
            pdf.Canvas().TextOut(20, 20, text);
        }
        pdf.EndPage();
        pdf.EndDoc();
        return front;
    }

    QString Info(const QStringList &extra = {}) const
    {
        return Tool(QStringLiteral("pdfinfo"), extra + QStringList{Output()}).out;
    }

    // Page p (from 1) rendered at 72 dpi: one pixel per point.
    QImage Render(int page) const
    {
        const QString prefix = dir.filePath(QStringLiteral("render"));
        Tool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
                                         QString::number(page), QStringLiteral("-l"), QString::number(page),
                                         QStringLiteral("-png"), QStringLiteral("-singlefile"), Output(), prefix});
        return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir dir;
    TSheetSettings s;
    TTestSheetHost host{s};
    std::unique_ptr<TPictureSource> source;
    TFrameSelection selection;
    TPDFCreator creator{&selection};
    Recorder progress;
    QStringList errors;
    QList<QByteArray> pictures;
    ErrorSink previousSink;
};

} // namespace

TEST_F(PdfWriter, FramesFillCellsRowByRowWithLabelsAsText)
{
    MakeFrames(5);
    ASSERT_TRUE(Write()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(progress.captions, QStringList{QStringLiteral("Creating PDF File")});
    EXPECT_EQ(progress.percents, (QList<int>{50, 100}));
    EXPECT_EQ(progress.finished, 1);

    const QString info = Info();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("595 x 842 pts"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Producer:\\s+Tessory v1.0"))));

    // Page 1: frames 0..3, first row 0 and 1; page 2: frame 4 top left only.
    const TBoxGrid &boxes = creator.PictureBoxes();
    const QImage page1 = Render(1);
    const QImage page2 = Render(2);
    ASSERT_EQ(page1.size(), QSize(595, 842));
    for (int k = 0; k < 4; ++k) {
        const QPoint centre = QRect(QPoint(boxes[k % 2][k / 2].Left, boxes[k % 2][k / 2].Top),
                                    QPoint(boxes[k % 2][k / 2].Right - 1, boxes[k % 2][k / 2].Bottom - 1))
                                  .center();
        EXPECT_TRUE(Near(page1.pixel(centre), ColourOf(k))) << "frame " << k;
    }
    const auto centreOf = [](const TBox &b) { return QPoint((b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2); };
    EXPECT_TRUE(Near(page2.pixel(centreOf(boxes[0][0])), ColourOf(4)));
    EXPECT_TRUE(Near(page2.pixel(centreOf(boxes[1][0])), Qt::white, 2));
    EXPECT_TRUE(Near(page2.pixel(centreOf(boxes[0][1])), Qt::white, 2));

    // The labels are real text, centred under their pictures.
    const QString html = Tool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"),
                                                           QStringLiteral("1"), QStringLiteral("-l"),
                                                           QStringLiteral("1"), Output(), QStringLiteral("-")})
                             .out;
    const TBoxGrid &labels = creator.LabelBoxes();
    for (int k = 0; k < 4; ++k) {
        const QRegularExpression word(
            QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"[0-9.]+\">%1</word>")
                .arg(k + 1));
        const auto match = word.match(html);
        ASSERT_TRUE(match.hasMatch()) << "label of frame " << k << "\n" << html.toStdString();
        const TBox &box = labels[k % 2][k / 2];
        EXPECT_GT(match.captured(1).toDouble(), box.Left);
        EXPECT_LT(match.captured(3).toDouble(), box.Right);
        EXPECT_NEAR(match.captured(2).toDouble(), box.Top, 4.0);
    }
}

TEST_F(PdfWriter, SwfPicturesAreReencodedAtTheChosenResolution)
{
    MakeFrames(1);
    s.Resolution = 50;
    ASSERT_TRUE(Write());
    const QString list = Tool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), Output()}).out;
    // round(200 * 50 / 72) by round(150 * 50 / 72)
    EXPECT_TRUE(list.contains(QRegularExpression(QStringLiteral("\\s139\\s+104\\s+rgb\\s+3\\s+8\\s+jpeg"))))
        << list.toStdString();
}

TEST_F(PdfWriter, AuthoringToolPicturesPassThroughUnchanged)
{
    IsSWFMode = false;
    TFlashServer server(FakeAuthoringCall, 0, MovieWidth, MovieHeight, 0);
    FlashServer = &server;
    MakeFrames(3, QSize(123, 77));
    ASSERT_TRUE(Write()) << errors.join(QLatin1Char('\n')).toStdString();
    const QString prefix = dir.filePath(QStringLiteral("extracted"));
    ASSERT_EQ(Tool(QStringLiteral("pdfimages"), {QStringLiteral("-j"), Output(), prefix}).exitCode, 0);
    for (int k = 0; k < 3; ++k) {
        QFile extracted(prefix + QStringLiteral("-%1.jpg").arg(k, 3, 10, QLatin1Char('0')));
        ASSERT_TRUE(extracted.open(QIODevice::ReadOnly)) << k;
        EXPECT_EQ(extracted.readAll(), pictures.at(k)) << "picture " << k;
    }
}

TEST_F(PdfWriter, FontsAreEmbeddedOnlyWhenAskedAndLabelsOn)
{
    MakeFrames(2);
    const auto fonts = [this] { return Tool(QStringLiteral("pdffonts"), {Output()}).out; };

    ASSERT_TRUE(Write());
    EXPECT_TRUE(fonts().contains(QRegularExpression(QStringLiteral("TrueType\\s+WinAnsi\\s+no"))))
        << fonts().toStdString();

    s.EmbedFontSubset = true;
    ASSERT_TRUE(Write());
    EXPECT_TRUE(fonts().contains(QRegularExpression(QStringLiteral("\\s+yes\\s+yes\\s+")))) << fonts().toStdString();

    // Labels off: no text at all, whatever the subset box says.
    s.LabelFrames = false;
    ASSERT_TRUE(Write());
    EXPECT_EQ(fonts().count(QLatin1Char('\n')), 2) << fonts().toStdString(); // the header lines only
    EXPECT_TRUE(Tool(QStringLiteral("pdftotext"), {Output(), QStringLiteral("-")}).out.trimmed().isEmpty());
}

TEST_F(PdfWriter, SecurityInfoAndFrontFile)
{
    MakeFrames(2);
    const QString front = MakeFront(QStringLiteral("Cover"));
    s.FrontFile = front;
    s.Title = QStringLiteral("Walk cycle");
    s.Author = QStringLiteral("R. Amsel");
    s.Subject = QStringLiteral("Storyboard");
    s.Keywords = QStringLiteral("walk, cycle");
    s.Security = true;
    s.PermitPrinting = true;
    s.PermitCopying = false;
    s.Encryption128 = true;
    s.Password = QStringLiteral("s3cret");
    ASSERT_TRUE(Write()) << errors.join(QLatin1Char('\n')).toStdString();

    EXPECT_NE(Tool(QStringLiteral("pdfinfo"), {Output()}).exitCode, 0); // needs the password
    const QString info = Info({QStringLiteral("-upw"), QStringLiteral("s3cret"), QStringLiteral("-f"),
                               QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("2")});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page\\s+1 size:\\s+300 x 300"))));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page\\s+2 size:\\s+595 x 842"))));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Walk cycle"))));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Author:\\s+R. Amsel"))));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Subject:\\s+Storyboard"))));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Keywords:\\s+walk, cycle"))));
    const QString cover = Tool(QStringLiteral("pdftotext"), {QStringLiteral("-upw"), QStringLiteral("s3cret"),
                                                            QStringLiteral("-l"), QStringLiteral("1"), Output(),
                                                            QStringLiteral("-")})
                              .out;
    EXPECT_TRUE(cover.contains(QStringLiteral("Cover")));

    const QString encryption =
        Tool(QStringLiteral("qpdf"), {QStringLiteral("--show-encryption"), QStringLiteral("--password=s3cret"), Output()})
            .out;
    EXPECT_TRUE(encryption.contains(QStringLiteral("R = 3"))) << encryption.toStdString();
    EXPECT_TRUE(encryption.contains(QStringLiteral("print high resolution: allowed")));
    EXPECT_TRUE(encryption.contains(QStringLiteral("extract for any purpose: not allowed")));
    EXPECT_TRUE(encryption.contains(QStringLiteral("modify anything: not allowed")));

    // 40 bit: revision 2.
    s.Encryption128 = false;
    s.FrontFile = QString();
    ASSERT_TRUE(Write());
    EXPECT_TRUE(Tool(QStringLiteral("qpdf"), {QStringLiteral("--show-encryption"),
                                             QStringLiteral("--password=s3cret"), Output()})
                    .out.contains(QStringLiteral("R = 2")));
}

TEST_F(PdfWriter, ProgressCountsPagesAndCancelLeavesNoNewFile)
{
    MakeFrames(9); // three pages of four
    ASSERT_TRUE(Write());
    EXPECT_EQ(progress.percents, (QList<int>{33, 67, 100}));

    // An earlier sheet survives a cancelled run.
    QFile earlier(Output());
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly | QIODevice::Truncate));
    earlier.write("earlier sheet");
    earlier.close();
    progress = Recorder();
    progress.cancelAt = 1;
    EXPECT_FALSE(Write());
    EXPECT_EQ(progress.percents, (QList<int>{33}));
    EXPECT_EQ(progress.finished, 1);
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("earlier sheet"));
    earlier.close();
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.pdf*")}, QDir::Files) ==
                QStringList{QStringLiteral("sheet.pdf")});

    QFile::remove(Output());
    progress = Recorder();
    progress.cancelAt = 2;
    EXPECT_FALSE(Write());
    EXPECT_FALSE(QFile::exists(Output()));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(PdfWriter, FailuresAreShownAndLeaveNoFile)
{
    MakeFrames(6);
    // Pictures that are not JPEGs, on the second page: the first in page
    // order is reported, however the work was shared out.
    for (int k : {5, 4}) {
        QFile broken(selection.Frames[k].FileName);
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write("not a picture");
    }
    EXPECT_FALSE(Write());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("frame4.jpg"))) << errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(Output()));
    EXPECT_EQ(progress.finished, 1);

    // A folder that does not exist.
    errors.clear();
    MakeFrames(2);
    s.OutputFile = dir.filePath(QStringLiteral("missing/sheet.pdf"));
    EXPECT_FALSE(Write());
    EXPECT_EQ(errors.size(), 1);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.pdf*")}, QDir::Files).isEmpty());

    // The engine library missing: its message, nothing written.
    errors.clear();
    s.OutputFile = Output();
    SetEngineLibraryPath(dir.filePath(QStringLiteral("nowhere/wPDF200A.so")));
    EXPECT_FALSE(Write());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("DLL \"wPDF200A.DLL\" was not found. PDF Export is not possible.")))
        << errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(Output()));
}

TEST_F(PdfWriter, TheEnginesWarningsAreShownOnceTheFileIsWritten)
{
    MakeFrames(1);
    // A front file whose cross-reference table points nowhere: the engine
    // repairs it and says so.
    const QString front = MakeFront();
    QFile file(front);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype xref = bytes.lastIndexOf("startxref\n");
    ASSERT_GT(xref, 0);
    bytes.replace(xref + 10, bytes.indexOf('\n', xref + 10) - xref - 10, "999999");
    file.seek(0);
    file.write(bytes);
    file.close();
    s.FrontFile = front;
    ASSERT_TRUE(Write()) << errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("repaired"))) << errors[0].toStdString();
    EXPECT_TRUE(QFile::exists(Output()));
}

TEST_F(PdfWriter, OutputChecksStopBeforeWriting)
{
    MakeFrames(2);
    const auto shown = [this] { return host.reported.empty() ? TSheetSetting::None : host.reported.back(); };

    s.Password = QStringLiteral("abc");
    s.PasswordRepeat = QStringLiteral("abC");
    EXPECT_FALSE(Write());
    EXPECT_EQ(errors, QStringList{QStringLiteral("The passwords do not match.")});
    EXPECT_EQ(shown(), TSheetSetting::PasswordRepeat);
    s.PasswordRepeat = QStringLiteral("abc");

    errors.clear();
    s.FrontFile = Output();
    EXPECT_FALSE(Write());
    EXPECT_EQ(errors, QStringList{QStringLiteral("The front PDF file is the same as the final PDF file.")});
    EXPECT_EQ(shown(), TSheetSetting::FrontFile);

    // A folder where the file would go cannot be replaced.
    errors.clear();
    s.FrontFile = QString();
    s.OutputFile = dir.filePath(QStringLiteral("taken.pdf"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.pdf")));
    EXPECT_FALSE(Write());
    EXPECT_EQ(errors, QStringList{QStringLiteral("Please close the PDF file that you're trying to overwrite.")});
    EXPECT_EQ(shown(), TSheetSetting::OutputFile);
    EXPECT_TRUE(progress.captions.isEmpty()); // nothing was started

    // A sheet marked read-only is not replaced, not even by root.
    errors.clear();
    s.OutputFile = Output();
    QFile kept(Output());
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("earlier sheet");
    kept.close();
    ASSERT_TRUE(kept.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_FALSE(Write());
    EXPECT_EQ(errors, QStringList{QStringLiteral("Please close the PDF file that you're trying to overwrite.")});
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("earlier sheet"));
    kept.close();
    ASSERT_TRUE(kept.remove());

    // A front file differing only in case is another file: it must exist.
    errors.clear();
    s.FrontFile = dir.filePath(QStringLiteral("SHEET.pdf"));
    EXPECT_FALSE(Write());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_NE(errors[0], QStringLiteral("The front PDF file is the same as the final PDF file."));
    EXPECT_FALSE(QFile::exists(Output()));
}

TEST_F(PdfWriter, PreviewShowsThePageScaledAndFramed)
{
    MakeFrames(3);
    // A landscape page in the square picture: bands above and below.
    s.PageWidth = 297;
    s.PageHeight = 210;
    Relabel();
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    ASSERT_EQ(creator.PageWidth(), 842);
    ASSERT_EQ(creator.PageHeight(), 595);
    QImage picture(192, 192, QImage::Format_RGB32);
    creator.DrawPage(s, 1, &picture, nullptr, Pictures());

    const QColor face = QPalette().color(QPalette::Button);
    const double scale = 190.0 / 842; // the width limits
    const int h = int(std::lround(595 * scale)), y = (192 - h) / 2;
    EXPECT_EQ(h, 134);
    EXPECT_TRUE(Near(picture.pixel(96, 5), face, 0));
    EXPECT_TRUE(Near(picture.pixel(96, 186), face, 0));
    EXPECT_TRUE(Near(picture.pixel(96, y - 1), Qt::black, 0));
    EXPECT_TRUE(Near(picture.pixel(96, y + h), Qt::black, 0));
    EXPECT_TRUE(Near(picture.pixel(0, 96), Qt::black, 0));
    EXPECT_TRUE(Near(picture.pixel(191, 96), Qt::black, 0));
    EXPECT_TRUE(Near(picture.pixel(96, y + 1), Qt::white, 8)); // the top margin
    for (int k = 0; k < 3; ++k) {
        const TBox &b = creator.PictureBoxes()[k % 2][k / 2];
        const QPoint at(1 + int((b.Left + b.Right) / 2 * scale), y + int((b.Top + b.Bottom) / 2 * scale));
        EXPECT_TRUE(Near(picture.pixel(at), ColourOf(k), 24)) << "frame " << k;
    }
    const TBox &empty = creator.PictureBoxes()[1][1];
    EXPECT_TRUE(Near(picture.pixel(1 + int((empty.Left + empty.Right) / 2 * scale),
                                   y + int((empty.Top + empty.Bottom) / 2 * scale)),
                     Qt::white, 8));
}

TEST_F(PdfWriter, SizeEstimateFollowsQualityPagesAndFont)
{
    MakeFrames(8);
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    ASSERT_EQ(creator.PageCount(), 2);
    s.Quality = 10;
    const double low = creator.EstimateFileSize(s, Pictures());
    s.Quality = 100;
    const double high = creator.EstimateFileSize(s, Pictures());
    EXPECT_GT(low, 12288 + 7168);
    EXPECT_GT(high, low);

    // One page less: 7 KB less.
    s.Rows = 4;
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    ASSERT_EQ(creator.PageCount(), 1);
    EXPECT_DOUBLE_EQ(high - creator.EstimateFileSize(s, Pictures()), 7168);

    // An embedded subset adds the font file's size.
    s.EmbedFontSubset = true;
    const QString file = FindFontFile(s.LabelFont.family(), false, false);
    const double fontSize = file.isEmpty() ? 153600.0 : double(QFileInfo(file).size());
    EXPECT_DOUBLE_EQ(creator.EstimateFileSize(s, Pictures()) - (high - 7168), fontSize);
}

TEST_F(PdfWriter, ReencodingShrinksInTheDecoderAndKeepsColour)
{
    MakeFrames(1, QSize(1146, 833));
    // A 550 x 400 movie at 36 dpi.
    TCapturedPictures captured(QSize(550, 400));
    captured.BeginRun(36, 70);
    const QVector<TPdfPicture> placed = captured.PdfPictures(std::span<const TFrame>(selection.Frames));
    ASSERT_EQ(placed.size(), 1);
    EXPECT_EQ(placed[0].Pixels, QSize(275, 200));
    EXPECT_EQ(platform::jpegSize(placed[0].Jpeg), QSize(275, 200));
    const QImage back = platform::decodeJpeg(placed[0].Jpeg);
    EXPECT_TRUE(Near(back.pixel(137, 100), ColourOf(0)));
    TFrame missing;
    missing.FileName = dir.filePath(QStringLiteral("none.jpg"));
    EXPECT_THROW(captured.PdfPictures(std::span<const TFrame>(&missing, 1)), std::runtime_error);
}

TEST(FontFile, StyleOrderAndNameMatching)
{
    const QVector<platform::FontEntry> entries = {
        {QStringLiteral("Sample Sans (TrueType)"), QStringLiteral("/f/regular.ttf")},
        {QStringLiteral("Sample Sans Bold (TrueType)"), QStringLiteral("/f/bold.ttf")},
        {QStringLiteral("Sample Sans Italic (TrueType)"), QStringLiteral("rel-italic.ttf")},
        {QStringLiteral("Sample Sansation (TrueType)"), QStringLiteral("/f/other.ttf")},
        {QStringLiteral("Sample Serif Bold Italic (TrueType)"), QStringLiteral("/f/serif-bi.ttf")},
    };
    EXPECT_EQ(FindFontFile(QStringLiteral("sample sans"), false, false, entries), QStringLiteral("/f/regular.ttf"));
    EXPECT_EQ(FindFontFile(QStringLiteral("Sample Sans"), true, false, entries), QStringLiteral("/f/bold.ttf"));
    EXPECT_EQ(FindFontFile(QStringLiteral("Sample Sans"), false, true, entries, QStringLiteral("/fonts")),
              QStringLiteral("/fonts/rel-italic.ttf"));
    // No bold italic: bold comes before italic.
    EXPECT_EQ(FindFontFile(QStringLiteral("Sample Sans"), true, true, entries), QStringLiteral("/f/bold.ttf"));
    // Only a bold italic face: every style falls back to it.
    EXPECT_EQ(FindFontFile(QStringLiteral("Sample Serif"), false, false, entries), QStringLiteral("/f/serif-bi.ttf"));
    EXPECT_TRUE(FindFontFile(QStringLiteral("Sample"), false, false, entries).isEmpty());
    EXPECT_TRUE(FindFontFile(QStringLiteral("Absent"), true, true, entries).isEmpty());
}
