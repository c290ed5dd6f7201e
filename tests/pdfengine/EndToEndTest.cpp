// The component with the real engine library, the PDF read back with the
// poppler tools and qpdf.
#include "pdfengine/WPPDFR2.h"
#include "support/ToolRun.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

void ensureGuiApp()
{
    static int argc = 1;
    static char arg0[] = "pdfengine_tests";
    static char *argv[] = {arg0, nullptr};
    if (!qApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

// A baseline JPEG of a colour gradient; seed varies the colours.
QByteArray makeJpeg(int width, int height, int seed)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 80, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width; ++x) {
            row[size_t(x) * 3] = JSAMPLE((x * 255 / width + seed * 60) & 255);
            row[size_t(x) * 3 + 1] = JSAMPLE(cinfo.next_scanline * 255 / cinfo.image_height);
            row[size_t(x) * 3 + 2] = JSAMPLE(seed * 90);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    jpeg_destroy_compress(&cinfo);
    return out;
}

using Result = ToolResult;
ToolResult run(const QString &program, const QStringList &args) { return RunTool(program, args); }

QString engineLibrary()
{
    const QString bin = qEnvironmentVariable("TESSORY_BIN", TESSORY_BIN_DIR);
    return bin.isEmpty() ? QStringLiteral(WPDF_LIBRARY_PATH) : bin + QStringLiteral("/wPDF200A.so");
}

struct Picture {
    QByteArray jpeg;
    QSize pixels;
    QRect box; // on the page, points
};

TEST(RealEngine, EncryptedTwoPageSheetReadsBack)
{
    ensureGuiApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("sheet.pdf"));
    const QSize pages[2] = {QSize(595, 842), QSize(842, 595)};
    const Picture pics[2] = {{makeJpeg(64, 48, 1), QSize(64, 48), QRect(100, 150, 150, 100)},
                             {makeJpeg(80, 60, 2), QSize(80, 60), QRect(300, 200, 200, 90)}};

    SetEngineLibraryPath(engineLibrary());
    {
        TWPPDFPrinter pdf;
        pdf.SetModes({wpExactTextPositioning, wpNoTextRectClipping, wpDontAdjustTextSpacing, wpNoTextScaling});
        pdf.SetFontMode(wpEmbedSubsetTrueType_UsedChar);
        pdf.SetEncryption({wpEncryptFile, wpEnablePrinting});
        pdf.SetSecurity(wpp128bit);
        pdf.SetOwnerPassword(QStringLiteral("secret"));
        pdf.SetUserPassword(QStringLiteral("secret"));
        pdf.Info().Title = QStringLiteral("Contact sheet");
        pdf.Info().Producer = QStringLiteral("Tessory");
        pdf.SetFilename(file);
        pdf.BeginDoc();
        for (int p = 0; p < 2; ++p) {
            const Picture &pic = pics[p];
            pdf.StartPage(pages[p].width(), pages[p].height(), 0, 72, 72);
            ASSERT_EQ(pdf.DrawJPEG(pic.box.left(), pic.box.top(), wpImageJPEG, int(pic.jpeg.size()), pic.jpeg.constData(),
                                   pic.pixels.width(), pic.pixels.height(), pic.box.height(), pic.box.width()),
                      0);
            pdf.Canvas().SetFont(QFont(QStringLiteral("DejaVu Sans"), 12), 0);
            pdf.Canvas().SetTextAlign(TA_CENTER | TA_TOP);
            pdf.Canvas().TextOut(pic.box.center().x(), pic.box.bottom() + 10, QStringLiteral("Frame %1").arg(p + 1));
            pdf.EndPage();
        }
        pdf.EndDoc();
    }
    SetEngineLibraryPath(QString());

    const QStringList pw = {QStringLiteral("-upw"), QStringLiteral("secret")};
    EXPECT_NE(run(QStringLiteral("pdfinfo"), {file}).exitCode, 0); // opening needs the password

    Result info = run(QStringLiteral("pdfinfo"), pw + QStringList{QStringLiteral("-f"), QStringLiteral("1"),
                                                                  QStringLiteral("-l"), QStringLiteral("2"), file});
    ASSERT_EQ(info.exitCode, 0);
    EXPECT_TRUE(info.out.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n")))) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains(QRegularExpression(QStringLiteral("Page\\s+1 size:\\s+595 x 842 pts"))));
    EXPECT_TRUE(info.out.contains(QRegularExpression(QStringLiteral("Page\\s+2 size:\\s+842 x 595 pts"))));
    EXPECT_TRUE(info.out.contains(QRegularExpression(QStringLiteral("Title:\\s+Contact sheet\\n"))));
    EXPECT_TRUE(info.out.contains(QRegularExpression(QStringLiteral("Encrypted:\\s+yes \\(print:yes copy:no change:no"))))
        << info.out.toStdString();

    // Each picture is one JPEG image on its page, its resolution following
    // from its pixel size over its display size (width and height unswapped).
    Result list = run(QStringLiteral("pdfimages"), pw + QStringList{QStringLiteral("-list"), file});
    ASSERT_EQ(list.exitCode, 0);
    QStringList rows = list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
    ASSERT_EQ(rows.size(), 2) << list.out.toStdString();
    for (int p = 0; p < 2; ++p) {
        const QStringList f = rows[p].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        ASSERT_GE(f.size(), 14);
        EXPECT_EQ(f[0].toInt(), p + 1);
        EXPECT_EQ(f[3].toInt(), pics[p].pixels.width());
        EXPECT_EQ(f[4].toInt(), pics[p].pixels.height());
        EXPECT_EQ(f[8], QStringLiteral("jpeg"));
        EXPECT_EQ(f[12].toInt(), qRound(pics[p].pixels.width() * 72.0 / pics[p].box.width()));
        EXPECT_EQ(f[13].toInt(), qRound(pics[p].pixels.height() * 72.0 / pics[p].box.height()));
    }
    ASSERT_EQ(run(QStringLiteral("pdfimages"), pw + QStringList{QStringLiteral("-j"), file, dir.filePath(QStringLiteral("img"))})
                  .exitCode,
              0);
    for (int p = 0; p < 2; ++p) {
        QFile img(dir.filePath(QStringLiteral("img-%1.jpg").arg(p, 3, 10, QLatin1Char('0'))));
        ASSERT_TRUE(img.open(QIODevice::ReadOnly)) << img.fileName().toStdString();
        EXPECT_TRUE(img.readAll() == pics[p].jpeg) << "picture " << p + 1 << " was not placed unchanged";
    }

    // The labels are text, centred under their pictures with their top at the given y.
    Result words = run(QStringLiteral("pdftotext"), pw + QStringList{QStringLiteral("-bbox"), file, QStringLiteral("-")});
    ASSERT_EQ(words.exitCode, 0);
    QRegularExpression word(QStringLiteral(
        "<page width=\"([\\d.]+)\"|<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"[\\d.]+\">([^<]*)</word>"));
    int page = 0;
    std::vector<std::vector<std::pair<QString, QRectF>>> found(2);
    for (auto m = word.globalMatch(words.out); m.hasNext();) {
        auto w = m.next();
        if (!w.captured(1).isEmpty()) {
            ++page;
            continue;
        }
        ASSERT_TRUE(page >= 1 && page <= 2);
        found[size_t(page - 1)].push_back({w.captured(5), QRectF(QPointF(w.captured(2).toDouble(), w.captured(3).toDouble()),
                                                            QPointF(w.captured(4).toDouble(), w.captured(3).toDouble()))});
    }
    for (int p = 0; p < 2; ++p) {
        ASSERT_EQ(found[size_t(p)].size(), 2u) << "page " << p + 1;
        const auto &[first, firstBox] = found[size_t(p)][0];
        const auto &[second, secondBox] = found[size_t(p)][1];
        EXPECT_EQ(first + QLatin1Char(' ') + second, QStringLiteral("Frame %1").arg(p + 1));
        EXPECT_NEAR((firstBox.left() + secondBox.right()) / 2, pics[p].box.center().x(), 2.0);
        EXPECT_NEAR(firstBox.top(), pics[p].box.bottom() + 10, 3.0);
    }

    Result enc = run(QStringLiteral("qpdf"), {QStringLiteral("--show-encryption"), QStringLiteral("--password=secret"), file});
    ASSERT_EQ(enc.exitCode, 0);
    // Revision 3 is RC4 with a 128-bit key; one password serves both roles.
    EXPECT_TRUE(enc.out.contains(QStringLiteral("R = 3\n"))) << enc.out.toStdString();
    EXPECT_TRUE(enc.out.contains(QStringLiteral("Supplied password is owner password")));
    EXPECT_TRUE(enc.out.contains(QStringLiteral("Supplied password is user password")));
    EXPECT_TRUE(enc.out.contains(QStringLiteral("print high resolution: allowed")));
    EXPECT_TRUE(enc.out.contains(QStringLiteral("extract for any purpose: not allowed")));
    EXPECT_TRUE(enc.out.contains(QStringLiteral("modify anything: not allowed")));
}

} // namespace
