#include "sheet/PDFCreator.h"

#include "pdfengine/WPPDFR2.h"
#include "platform/Shell.h"
#include "sheet/FontFile.h"
#include "sheet/PictureSource.h"
#include "sheet/SheetHost.h"
#include "sheet/SheetProgress.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPalette>
#include <climits>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace {

// Whether path can take a new file: nothing there, or a file that the
// folder lets us replace and that is not marked read-only (the mode bits
// count even for root, who may write anything).
bool CanReplace(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    const bool readOnly = info.exists() && !(info.permissions() & (QFileDevice::WriteOwner | QFileDevice::WriteGroup |
                                                                   QFileDevice::WriteOther));
    return !info.isDir() && !readOnly && info.isWritable() && QFileInfo(info.absolutePath()).isWritable();
}

// What the user is told of a failure: the component's message, and the
// engine's or the system's own words about it when they add something.
QString FailureText(const std::exception &e)
{
    QString text = QString::fromUtf8(e.what());
    if (const auto *engine = dynamic_cast<const EWPPDFError *>(&e))
        if (!engine->Detail().isEmpty() && !text.contains(engine->Detail()))
            text += u'\n' + engine->Detail();
    return text;
}

// More cells than any page can show; beyond this the box arrays would only
// exhaust memory.
constexpr int64_t maxCells = 1 << 20;

} // namespace

TPDFCreator::TPDFCreator(TFrameSelection *selection) : m_selection(selection) {}
TPDFCreator::~TPDFCreator() = default;

int64_t TPDFCreator::MmToPoints(int64_t mm)
{
    const int64_t product = mm * 720;
    const int64_t half = 254 / 2;
    const int64_t points = product >= 0 ? (product + half) / 254 : -((-product + half) / 254);
    return points > INT_MAX || points < INT_MIN ? -1 : points;
}

bool TPDFCreator::CalculateLayout(const TSheetSettings &c, TSheetSetting cause)
{
    m_layoutValid = false;
    const auto fail = [&] {
        if (m_failingSetting == TSheetSetting::None)
            m_failingSetting = cause;
        ReportLayoutError(c);
        return false;
    };

    const int64_t pageW = c.PageWidth;
    const int64_t pageH = c.PageHeight;
    const int64_t left = c.LeftMargin;
    const int64_t right = c.RightMargin;
    const int64_t top = c.TopMargin;
    const int64_t bottom = c.BottomMargin;
    const bool labels = c.LabelFrames;
    const bool userGrid = c.SetFramesPerPage;

    int64_t PW = MmToPoints(pageW);
    int64_t PH = MmToPoints(pageH);
    int64_t UW = MmToPoints(pageW - left - right);
    int64_t UH = MmToPoints(pageH - top - bottom);
    int64_t X = MmToPoints(left);
    int64_t Y = MmToPoints(top);
    const int64_t S = MmToPoints(c.ImageSpace);
    const int64_t T = labels ? MmToPoints(c.TextSpace) : 0;

    int64_t cols = userGrid ? c.Columns : 1;
    int64_t rows = userGrid ? c.Rows : 1;

    const int64_t LH = m_selection ? m_selection->LabelHeight : 0;
    const int64_t LW = m_selection ? m_selection->LabelWidth : 0;
    const int64_t MW = MovieWidth;
    const int64_t MH = MovieHeight;
    // A page, margin or space too large for points, or no movie frame to
    // scale, leaves nothing to lay out.
    if (MW <= 0 || MH <= 0 || PW <= 0 || PH <= 0 || X < 0 || Y < 0 || S < 0 || T < 0 || cols <= 0 || rows <= 0)
        return fail();
    const int64_t band = LH + 2 * S + 2 * T;

    const auto scale = [&](int64_t across, int64_t down) {
        return std::min(double(across - 2 * S * cols) / (double(cols) * double(MW)),
                        double(down - double(rows) * double(band)) / (double(rows) * double(MH)));
    };
    double k = scale(UW, UH);
    bool turned = false;
    if (c.Orientation == TOrientation::Auto) {
        const double kTurned = scale(UH, UW);
        if (kTurned > k) {
            k = kTurned;
            turned = true;
        }
    }

    // nearbyint rounds halves to even in the default rounding mode.
    const double wReal = std::nearbyint(double(MW) * k);
    const double hReal = std::nearbyint(double(MH) * k);
    // A picture that rounds to nothing would leave the fitted grid dividing
    // by zero, so it fails like a scale of zero.
    if (UW <= 0 || UH <= 0 || !(k > 0) || wReal < 1 || hReal < 1 || double(LW) > wReal)
        return fail();
    const int64_t w = int64_t(wReal);
    const int64_t h = int64_t(hReal);

    const TSheetSetting recorded = m_failingSetting;
    m_failingSetting = TSheetSetting::None;

    if (turned) {
        const bool fromPortrait = c.OrientationTag != TOrientation::Landscape;
        const int64_t newX = fromPortrait ? PH - Y - UH : Y;
        const int64_t newY = fromPortrait ? X : PW - X - UW;
        X = newX;
        Y = newY;
        std::swap(PW, PH);
        std::swap(UW, UH);
    }

    if (!userGrid) {
        cols = UW / (w + 2 * S);
        rows = UH / (h + band);
    }
    const int frameCount = m_selection ? m_selection->FrameCount() : 0;
    if (frameCount == 1)
        cols = rows = 1;
    if (cols <= 0 || rows <= 0 || cols * rows > maxCells) {
        m_failingSetting = recorded;
        return fail();
    }
    m_pageCount = int((frameCount + cols * rows - 1) / (cols * rows));

    if (c.CenterPageContents) {
        X += S + (UW - (w + 2 * S) * cols) / 2;
        Y += S + (UH - rows * (h + band)) / 2;
    } else {
        X += S;
        Y += S;
    }

    m_pictureBoxes = TBoxGrid(int(cols), QVector<TBox>(int(rows)));
    m_labelBoxes = labels ? TBoxGrid(int(cols), QVector<TBox>(int(rows))) : TBoxGrid();
    for (int64_t i = 0; i < cols; ++i) {
        for (int64_t j = 0; j < rows; ++j) {
            TBox &picture = m_pictureBoxes[i][j];
            picture.Left = int(X + i * (w + 2 * S));
            picture.Top = int(Y + j * (h + band));
            picture.Right = int(picture.Left + w);
            picture.Bottom = int(picture.Top + h);
            if (labels) {
                TBox &label = m_labelBoxes[i][j];
                label.Left = picture.Left;
                label.Right = picture.Right;
                label.Top = int(picture.Bottom + S + T);
                label.Bottom = int(label.Top + LH);
            }
        }
    }

    m_pageWidth = int(PW);
    m_pageHeight = int(PH);
    m_layoutValid = true;
    return true;
}

void TPDFCreator::Report(TSheetSetting setting, const QString &message)
{
    if (m_host)
        m_host->ReportSetting(setting, message);
    else
        ShowErrorMessage(message);
}

void TPDFCreator::ReportLayoutError(const TSheetSettings &settings)
{
    if (m_failingSetting == TSheetSetting::None)
        return;
    const bool movieKnown = MovieWidth > 0 && MovieHeight > 0;
    const QString message = LayoutErrorMessage(m_failingSetting, settings, movieKnown);
    if (IsGeneralLayoutError(m_failingSetting, settings, movieKnown))
        ShowErrorMessage(message);
    else
        Report(m_failingSetting, message);
}

bool TPDFCreator::CalculateLayout(TSheetSetting cause)
{
    return m_host && CalculateLayout(m_host->Settings(), cause);
}

bool TPDFCreator::CreatePDF()
{
    return m_host && CreatePDF(m_host->Settings(), m_host->Pictures());
}

double TPDFCreator::EstimateFileSize()
{
    return m_host ? EstimateFileSize(m_host->Settings(), m_host->Pictures()) : 0;
}

double TPDFCreator::EstimateFileSize(const TSheetSettings &c, TPictureSource &pictures)
{
    if (!m_selection || m_selection->FrameCount() == 0)
        return 0;
    const TFrame &first = m_selection->Frames.first();
    const double firstSize = pictures.StoredBytes(first);
    const double converted = pictures.ConvertedBytes(first, c.Resolution, c.Quality);
    // With no first picture to compare, the pictures are counted as they are.
    const double ratio = firstSize > 0 ? converted / firstSize : 1.0;

    double total = firstSize;
    for (int i = 1; i < m_selection->FrameCount(); ++i)
        total += pictures.StoredBytes(m_selection->Frames.at(i));
    double estimate = total * ratio + 12288 + double(std::max(m_pageCount, 1) - 1) * 7168;

    if (c.LabelFrames && c.EmbedFontSubset) {
        const QString file = FindFontFile(c.LabelFont.family(), c.LabelFont.bold(), c.LabelFont.italic());
        const QFileInfo info(file);
        estimate += !file.isEmpty() && info.isFile() ? double(info.size()) : 153600.0;
    }
    return estimate;
}

bool TPDFCreator::CreatePDF(const TSheetSettings &c, TPictureSource &pictures)
{
    if (!m_layoutValid) {
        ReportLayoutError(c);
        return false;
    }
    const auto refuse = [this](TSheetSetting setting, const QString &message) {
        Report(setting, message);
        return false;
    };

    if (c.PasswordRepeat && *c.PasswordRepeat != c.Password)
        return refuse(TSheetSetting::PasswordRepeat, QStringLiteral("The passwords do not match."));
    const QString &output = c.OutputFile;
    if (c.FrontFile == output)
        return refuse(TSheetSetting::FrontFile, QStringLiteral("The front PDF file is the same as the final PDF file."));
    // The new file replaces an existing one only once it is complete, so a
    // run that fails or is cancelled leaves the earlier file as it was.
    if (!CanReplace(output))
        return refuse(TSheetSetting::OutputFile,
                      QStringLiteral("Please close the PDF file that you're trying to overwrite."));

    TSheetProgress *const progress = m_host ? m_host->Progress() : nullptr;
    const int pages = m_pageCount;
    bool completed = false;
    bool running = false;
    QString failure;
    std::unique_ptr<TWPPDFPrinter> pdf;
    if (progress)
        progress->Start(QStringLiteral("Creating PDF File"));
    QStringList warnings;
    try {
        pdf = std::make_unique<TWPPDFPrinter>();
        // The engine's remarks (a repaired front file, a font embedded) are
        // the user's to see once the file is written.
        pdf->SetOnError([&warnings](TWPCustomPDFExport *, const QString &message, int value) {
            if (value == wppdf::msgWarning && !warnings.contains(message))
                warnings << message;
        });
        pictures.BeginRun(c.Resolution, c.Quality);
        running = true;
        if (m_selection)
            pictures.Announce(std::span<const TFrame>(m_selection->Frames.constData(), size_t(m_selection->FrameCount())));

        pdf->SetModes({wpExactTextPositioning, wpNoTextRectClipping, wpDontAdjustTextSpacing, wpNoTextScaling});
        pdf->SetCanvasReference(wprefScreen);
        pdf->SetFontMode(c.LabelFrames && c.EmbedFontSubset ? wpEmbedSubsetTrueType_UsedChar : wpUseTrueTypeFonts);
        if (c.Security) {
            TWPDFEncryption encryption{wpEncryptFile};
            if (c.PermitPrinting)
                encryption.Include(wpEnablePrinting);
            if (c.PermitChanging)
                encryption.Include(wpEnableChanging);
            if (c.PermitCopying)
                encryption.Include(wpEnableCopying);
            pdf->SetEncryption(encryption);
            pdf->SetSecurity(c.Encryption128 ? wpp128bit : wpp40bit);
            pdf->SetOwnerPassword(c.Password);
            pdf->SetUserPassword(c.Password);
        }
        pdf->SetInputfileMode(pwAppendToInput);
        pdf->SetInputFile(c.FrontFile);
        TWPPDFExportInfo &info = pdf->Info();
        info.Title = c.Title;
        info.Author = c.Author;
        info.Subject = c.Subject;
        info.Keywords = c.Keywords;
        info.Producer = AppTitle;
        pdf->SetFilename(output);
        pdf->BeginDoc();

        for (int p = 1; p <= pages; ++p) {
            pdf->StartPage(m_pageWidth, m_pageHeight, 0, 72, 72);
            DrawPage(c, p, nullptr, pdf.get(), pictures);
            pdf->EndPage();
            if (progress) {
                progress->SetProgress(int(std::lround(p * 100.0 / pages)));
                if (progress->Cancelled())
                    break;
            }
            completed = p == pages;
        }
    } catch (const std::exception &e) {
        failure = FailureText(e);
        completed = false;
    }

    const bool cancelled = progress && progress->Cancelled();
    if (pdf && pdf->InDocument()) {
        // An unfinished document is closed without being written.
        if (!completed || cancelled)
            pdf->SetFilename(QString());
        try {
            pdf->EndDoc();
        } catch (const std::exception &e) {
            if (failure.isEmpty())
                failure = FailureText(e);
            completed = false;
        }
    }
    pdf.reset();
    if (running)
        pictures.EndRun();
    if (completed && !cancelled && failure.isEmpty() && c.ViewFile && !platform::shellOpen(output))
        warnings << QStringLiteral("The PDF file %1 is written, but no program to view it could be started; open it "
                                   "with a PDF viewer.")
                        .arg(QDir::toNativeSeparators(output));
    if (progress)
        progress->Finish();
    if (!failure.isEmpty())
        ShowErrorMessage(failure);
    else if (completed && !cancelled && !warnings.isEmpty())
        ShowWarningMessage(warnings.join(u'\n'));
    return completed && !cancelled && failure.isEmpty();
}

void TPDFCreator::DrawPage(const TSheetSettings &c, int page, QImage *preview, TWPCustomPDFExport *pdf,
                           TPictureSource &pictures)
{
    const int cols = Columns();
    const int rows = Rows();
    if (!m_layoutValid || cols <= 0 || rows <= 0 || !m_selection || (!preview && !pdf))
        return;

    QImage pageImage;
    std::unique_ptr<TImageCanvas> imageCanvas;
    if (preview) {
        pageImage = QImage(m_pageWidth, m_pageHeight, QImage::Format_RGB32);
        if (pageImage.isNull())
            return;
        pageImage.fill(Qt::white);
        imageCanvas = std::make_unique<TImageCanvas>(pageImage);
    }
    TCanvas &canvas = preview ? static_cast<TCanvas &>(*imageCanvas) : pdf->Canvas();

    const bool labels = c.LabelFrames && !m_labelBoxes.isEmpty();
    if (labels) {
        QFont font = c.LabelFont;
        if (preview)
            font.setPointSize(int(std::lround(font.pointSizeF() * 72 / TImageCanvas::ScreenPixelsPerInch())));
        canvas.SetFont(font, c.LabelColor);
        canvas.SetTextAlign(TA_CENTER | TA_TOP);
    }

    const int64_t n = int64_t(cols) * rows;
    const int64_t first = n * (page - 1);
    const int64_t end = std::min<int64_t>(n * page, m_selection->FrameCount());
    if (first >= end)
        return;
    const std::span<const TFrame> frames(m_selection->Frames.constData() + first, size_t(end - first));
    QVector<TPdfPicture> placed;
    if (!preview)
        placed = pictures.PdfPictures(frames);
    for (int64_t k = first; k < end; ++k) {
        const TFrame &frame = frames[size_t(k - first)];
        const int col = int(k % cols);
        const int row = int((k - first) / cols);
        const TBox &box = m_pictureBoxes[col][row];
        const QRect rect(box.Left, box.Top, box.Right - box.Left, box.Bottom - box.Top);
        if (preview) {
            // A picture that cannot be read leaves its cell empty here; the
            // PDF run reports it.
            const QImage picture = pictures.PreviewPicture(frame, rect.size());
            if (!picture.isNull())
                canvas.DrawImageStretched(rect, picture);
        } else {
            const TPdfPicture &picture = placed.at(int(k - first));
            const int placedResult =
                picture.File.isEmpty()
                    ? pdf->DrawJPEG(box.Left, box.Top, wpImageJPEG, int(picture.Jpeg.size()), picture.Jpeg.constData(),
                                    picture.Pixels.width(), picture.Pixels.height(), rect.height(), rect.width())
                    : pdf->DrawJPEGFile(box.Left, box.Top, picture.File, picture.Pixels.width(),
                                        picture.Pixels.height(), rect.height(), rect.width());
            if (placedResult != 0)
                throw std::runtime_error(QStringLiteral("The picture of frame %1 could not be placed in the PDF file.")
                                             .arg(frame.FrameIndex + 1)
                                             .toStdString());
        }
        if (labels) {
            const TBox &label = m_labelBoxes[col][row];
            canvas.TextOut((label.Left + label.Right) / 2, label.Top, frame.LabelText);
        }
    }

    if (preview) {
        imageCanvas.reset();
        const QSize target = preview->size();
        QPainter painter(preview);
        painter.fillRect(preview->rect(), QPalette().color(QPalette::Button));
        const double scale = std::min(double(target.height() - 2) / pageImage.height(),
                                      double(target.width() - 2) / pageImage.width());
        const int w = int(std::lround(pageImage.width() * scale));
        const int h = int(std::lround(pageImage.height() * scale));
        const int x = (target.width() - w) / 2;
        const int y = (target.height() - h) / 2;
        painter.drawImage(QRect(x, y, w, h), pageImage.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        painter.setPen(QPen(Qt::black, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(x - 1, y - 1, w + 1, h + 1);
    }
}
