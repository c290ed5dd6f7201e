// Writes seed inputs for the engine fuzzer into a folder: page metafiles
// made by the page canvas, and front files made by the engine itself.
#include "pdfengine/WPPDFR2.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

namespace {

bool Save(const QString &path, char mode, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray(1, mode) + bytes);
    return true;
}

QByteArray Metafile(bool manyFonts)
{
    TMetafileCanvas canvas(QSize(300, 300), QSize(10583, 10583));
    QFont font(QStringLiteral("DejaVu Sans"), 12);
    canvas.SetFont(font, 0x00336699);
    canvas.SetTextAlign(TA_CENTER | TA_TOP);
    canvas.TextOut(150, 20, QStringLiteral("Frame 1"));
    if (manyFonts) {
        font.setBold(true);
        font.setUnderline(true);
        canvas.SetFont(font, 0);
        canvas.TextOut(150, 60, QStringLiteral("Ünïcödé € Ωμέγα"));
        font.setItalic(true);
        font.setStrikeOut(true);
        canvas.SetFont(font, 0x000000FF);
        canvas.SetTextAlign(TA_LEFT | TA_BASELINE);
        canvas.TextOut(10, 200, QStringLiteral("Scene 2 Frame 12 *"));
    }
    return canvas.Bytes();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: engine_fuzz_seeds FOLDER ENGINE_LIBRARY\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path()))
        return 1;
    SetEngineLibraryPath(QString::fromLocal8Bit(argv[2]));

    bool ok = Save(folder.filePath(QStringLiteral("emf-plain")), 0, Metafile(false)) &&
              Save(folder.filePath(QStringLiteral("emf-fonts")), 0, Metafile(true)) &&
              Save(folder.filePath(QStringLiteral("emf-subset")), 2, Metafile(true));

    // Front files: one plain, one protected.
    for (int protect = 0; protect < 2 && ok; ++protect) {
        const QString pdfPath = folder.filePath(QStringLiteral("made.pdf"));
        try {
            TWPPDFPrinter pdf;
            pdf.SetFilename(pdfPath);
            pdf.SetFontMode(protect ? wpEmbedSubsetTrueType_UsedChar : wpUseTrueTypeFonts);
            if (protect) {
                pdf.SetEncryption({wpEncryptFile, wpEnablePrinting});
                pdf.SetUserPassword(QStringLiteral("pw"));
                pdf.SetOwnerPassword(QStringLiteral("pw"));
            }
            pdf.Info().Title = QStringLiteral("Seed");
            pdf.BeginDoc();
            for (int page = 0; page < 2; ++page) {
                pdf.StartPage(200 + page * 100, 300);
                pdf.Canvas().SetFont(QFont(QStringLiteral("DejaVu Sans"), 10), 0);
                pdf.Canvas().TextOut(20, 20, QStringLiteral("Front page %1").arg(page + 1));
                pdf.EndPage();
            }
            pdf.EndDoc();
        } catch (const std::exception &e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        QFile made(pdfPath);
        ok = made.open(QIODevice::ReadOnly) &&
             Save(folder.filePath(protect ? QStringLiteral("front-protected") : QStringLiteral("front-plain")), 1,
                  made.readAll());
        made.close();
        QFile::remove(pdfPath);
    }
    // A front file written by hand: a nested page tree, a page without /Type
    // and chained resources, for the checks made before qpdf walks it.
    ok = ok && Save(folder.filePath(QStringLiteral("front-tree")), 1,
                    "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                    "2 0 obj << /Type /Pages /Count 2 /Kids [3 0 R 4 0 R] >> endobj\n"
                    "3 0 obj << /Type /Pages /Parent 2 0 R /Count 1 /Kids [5 0 R] >> endobj\n"
                    "4 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources 6 0 R >> endobj\n"
                    "5 0 obj << /Parent 3 0 R /MediaBox [0 0 100 100] >> endobj\n"
                    "6 0 obj << /Font 7 0 R >> endobj\n7 0 obj << /F1 8 0 R >> endobj\n8 0 obj << >> endobj\n"
                    "trailer << /Root 1 0 R >>\n%%EOF\n");
    return ok ? 0 : 1;
}
