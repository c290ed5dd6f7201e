#include "sheet/PDFCreator.h"

#include "controls/RadioGroup.h"
#include "movie/FlashServer.h"
#include "pdfengine/WPPDFR2.h"
#include "platform/JpegImage.h"
#include "platform/Shell.h"
#include "sheet/FontFile.h"
#include "sheet/PictureRecoders.h"
#include "sheet/SheetProgress.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <climits>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace {

int64_t ValueOf(const QSpinBox *edit)
{
    return edit ? edit->value() : 0;
}

bool Checked(const QCheckBox *box)
{
    return box && box->isChecked();
}

QString TextOf(const QLineEdit *edit)
{
    return edit ? edit->text() : QString();
}

QString TextOf(const QComboBox *box)
{
    return box ? box->currentText() : QString();
}

qint64 FileSizeOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.size() : 0;
}

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

const QString generalMessage = QStringLiteral(
    "The page preview cannot be created.\nSet smaller page dimensions or different page orientation\n"
    "or smaller page margins or  smaller font of the frame labels\nor shorter frame labels or less frames per page.");

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

bool TPDFCreator::CalculateLayout(QWidget *cause)
{
    m_layoutValid = false;
    const TLayoutControls &c = m_controls;
    const auto fail = [&] {
        if (!m_failingControl)
            m_failingControl = cause;
        ReportLayoutError();
        return false;
    };

    const int64_t pageW = ValueOf(c.spedtPageWidth);
    const int64_t pageH = ValueOf(c.spedtPageHeight);
    const int64_t left = ValueOf(c.spedtPageLeftMargin);
    const int64_t right = ValueOf(c.spedtPageRightMargin);
    const int64_t top = ValueOf(c.spedtPageTopMargin);
    const int64_t bottom = ValueOf(c.spedtPageBottomMargin);
    const bool labels = Checked(c.chbxLabelFrames);
    const bool userGrid = Checked(c.chbxSetFramesPerPage);

    int64_t PW = MmToPoints(pageW);
    int64_t PH = MmToPoints(pageH);
    int64_t UW = MmToPoints(pageW - left - right);
    int64_t UH = MmToPoints(pageH - top - bottom);
    int64_t X = MmToPoints(left);
    int64_t Y = MmToPoints(top);
    const int64_t S = MmToPoints(ValueOf(c.spedtImageSpace));
    const int64_t T = labels ? MmToPoints(ValueOf(c.spedtTextSpace)) : 0;

    int64_t cols = userGrid ? ValueOf(c.spedtColumnsPerPage) : 1;
    int64_t rows = userGrid ? ValueOf(c.spedtRowsPerPage) : 1;

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
    if (c.rgOrientation && c.rgOrientation->ItemIndex() == 2) {
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

    QWidget *const recorded = m_failingControl;
    m_failingControl = nullptr;

    if (turned) {
        const bool fromPortrait = !c.rgOrientation || c.rgOrientation->Tag() == 0;
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
        m_failingControl = recorded;
        return fail();
    }
    m_pageCount = int((frameCount + cols * rows - 1) / (cols * rows));

    if (Checked(c.chbxCenterPageContents)) {
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

void TPDFCreator::ReportLayoutError()
{
    QWidget *control = m_failingControl;
    if (!control)
        return;
    const TLayoutControls &c = m_controls;
    const auto is = [control](const QWidget *w) { return w && control == w; };

    QString message;
    if (MovieWidth <= 0 || MovieHeight <= 0)
        ; // no movie frame: only the general message fits
    else if (is(c.cmbxPageSize))
        message = "The dimensions of the page are too small.\nSet a page size with larger dimensions.";
    else if (is(c.spedtPageWidth))
        message = "The page width is too small.\nSet larger page width.";
    else if (is(c.spedtPageHeight))
        message = "The page height is too small.\nSet larger page height.";
    else if (is(c.rgOrientation))
        message = "The dimensions of the page are too small.\nSet different page orientation.";
    else if (is(c.spedtPageLeftMargin))
        message = "The left page margin is too large.\nSet smaller left page margin.";
    else if (is(c.spedtPageRightMargin))
        message = "The right page margin is too large.\nSet smaller right page margin.";
    else if (is(c.spedtPageTopMargin))
        message = "The top page margin is too large.\nSet smaller top page margin.";
    else if (is(c.spedtPageBottomMargin))
        message = "The bottom page margin is too large.\nSet smaller bottom page margin.";
    else if (is(c.spedtImageSpace))
        message = "The space around images is too large.\nSet smaller space around images.";
    else if (is(c.spedtTextSpace))
        message = "The space around image labels is too large.\nSet smaller space around image labels.";
    else if (is(c.chbxLabelFrames) && Checked(c.chbxLabelFrames))
        message = "The font of the frame labels is too large or the frame labels are too long.\n"
                  "Set smaller font of the frame labels or shorter frame labels.";
    else if (is(c.cmbxNonKeyFrameLabel))
        message = "The label of the non-key frames is too long or the font of the frame labels is too large.\n"
                  "Set shorter label of the non-key frames or smaller font of the frame labels.";
    else if (is(c.bitbtnEditNonKeyFrameLabel))
        message = "The label of the non-key frames is too long.\n"
                  "Set shorter label of the non-key frames or press the Cancel button.";
    else if (is(c.cmbxKeyFrameLabel))
        message = "The label of the key frames is too long or the font of the frame labels is too large.\n"
                  "Set shorter label of the key frames or smaller font of the frame labels.";
    else if (is(c.bitbtnEditKeyFrameLabel))
        message = "The label of key frames is too long.\n"
                  "Set shorter label of the key frames or press the Cancel button.";
    else if (is(c.bitbtnImageLabelsFont))
        message = "The font of the frame labels is too large.\n"
                  "Set smaller font of the frame labels or press the Cancel button.";
    else if (is(c.chbxSetFramesPerPage) && Checked(c.chbxSetFramesPerPage))
        message = "Too many frames per page.\nSet less columns or rows per page.";
    else if (is(c.spedtColumnsPerPage))
        message = "Too many columns per page.\nSet less columns per page.";
    else if (is(c.spedtRowsPerPage))
        message = "Too many rows per page.\nSet less rows per page.";

    if (message.isEmpty()) {
        ShowErrorMessage(generalMessage);
        return;
    }

    if (c.showStepOf)
        c.showStepOf(control);
    ShowErrorMessage(message);

    if (is(c.chbxLabelFrames)) {
        if (c.grbxLabelFrames)
            c.grbxLabelFrames->setFocus();
    } else if (is(c.chbxSetFramesPerPage)) {
        if (c.grbxFramesPerPage)
            c.grbxFramesPerPage->setFocus();
    } else if (control->isEnabled() && control->focusPolicy() != Qt::NoFocus) {
        control->setFocus();
        if (auto *spin = qobject_cast<QAbstractSpinBox *>(control))
            spin->selectAll();
    }

    // Later, so the editor or font dialog does not open inside the handler
    // that asked for this layout.
    if (qobject_cast<QPushButton *>(control) || qobject_cast<QToolButton *>(control))
        QTimer::singleShot(0, static_cast<QAbstractButton *>(control), &QAbstractButton::click);
}

QString TPDFCreator::OutputFileName() const
{
    const TLayoutControls &c = m_controls;
    if (!c.edtPDFDirectory || !c.edtPDFFile)
        return QString();
    return ChangeFileExt(c.edtPDFDirectory->text() + c.edtPDFFile->text(), QStringLiteral(".pdf"));
}

int TPDFCreator::Resolution() const
{
    return m_controls.cmbxImageResolution ? m_controls.cmbxImageResolution->currentText().toInt() : 72;
}

int TPDFCreator::Quality() const
{
    return m_controls.cmbxImageQuality ? m_controls.cmbxImageQuality->currentText().toInt() : 70;
}

QByteArray TPDFCreator::ReencodePicture(const QString &path, QSize size, int quality)
{
    platform::JpegRecoder recoder(size, quality);
    QString error;
    const QByteArray jpeg = recoder.recodeFile(path, &error);
    if (jpeg.isEmpty())
        throw std::runtime_error(error.toStdString());
    return jpeg;
}

double TPDFCreator::EstimateFileSize()
{
    if (!m_selection || m_selection->FrameCount() == 0)
        return 0;
    const TLayoutControls &c = m_controls;
    const int resolution = Resolution();
    const int quality = Quality();
    const TFrame &first = m_selection->Frames.first();
    const double firstSize = double(FileSizeOf(first.FileName));

    double converted = 0;
    if (IsSWFMode) {
        try {
            converted = double(
                ReencodePicture(first.FileName,
                                QSize(ScaledPixels(MovieWidth, resolution), ScaledPixels(MovieHeight, resolution)),
                                quality)
                    .size());
        } catch (const std::exception &) {
            converted = 0; // an unreadable picture adds nothing
        }
    } else if (FlashServer) {
        FlashServer->SetImageResolutionAndQuality(resolution, uint8_t(qBound(0, quality, 100)));
        FlashServer->ExportFrame(first.SceneIndex, first.FrameIndex);
        converted = double(FileSizeOf(ExportImageFileName()));
    }
    // With no first picture to compare, the pictures are counted as they are.
    const double ratio = firstSize > 0 ? converted / firstSize : 1.0;

    double total = firstSize;
    for (int i = 1; i < m_selection->FrameCount(); ++i)
        total += double(FileSizeOf(m_selection->Frames.at(i).FileName));
    double estimate = total * ratio + 12288 + double(std::max(m_pageCount, 1) - 1) * 7168;

    if (c.chbxEmbedFontSubset && c.chbxEmbedFontSubset->isEnabled() && c.chbxEmbedFontSubset->isChecked()) {
        const QFont font = c.labelFont ? c.labelFont() : QFont();
        const QString file = FindFontFile(font.family(), font.bold(), font.italic());
        const QFileInfo info(file);
        estimate += !file.isEmpty() && info.isFile() ? double(info.size()) : 153600.0;
    }
    return estimate;
}

bool TPDFCreator::CreatePDF()
{
    if (!m_layoutValid) {
        ReportLayoutError();
        return false;
    }
    const TLayoutControls &c = m_controls;
    const auto refuse = [&c](QWidget *control, const QString &message) {
        if (c.showStepOf && control)
            c.showStepOf(control);
        ShowErrorMessage(message);
        if (control)
            control->setFocus();
        return false;
    };

    if (c.medtPassword2 && c.medtPassword2->isVisibleTo(c.medtPassword2->window()) &&
        c.medtPassword2->text() != TextOf(c.medtPassword1))
        return refuse(c.medtPassword2, QStringLiteral("The passwords do not match."));
    const QString output = OutputFileName();
    const QString frontFile = c.cmbxInputFile ? c.cmbxInputFile->currentText() : QString();
    if (frontFile == output)
        return refuse(c.cmbxInputFile, QStringLiteral("The front PDF file is the same as the final PDF file."));
    // The new file replaces an existing one only once it is complete, so a
    // run that fails or is cancelled leaves the earlier file as it was.
    if (!CanReplace(output))
        return refuse(c.edtPDFFile, QStringLiteral("Please close the PDF file that you're trying to overwrite."));

    TSheetProgress *const progress = c.progress;
    const int pages = m_pageCount;
    bool completed = false;
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
        const int resolution = Resolution();
        if (IsSWFMode)
            m_capture = std::make_unique<TPictureRecoders>(
                QSize(ScaledPixels(MovieWidth, resolution), ScaledPixels(MovieHeight, resolution)), Quality());
        else if (FlashServer)
            FlashServer->SetImageResolutionAndQuality(resolution, uint8_t(qBound(0, Quality(), 100)));

        pdf->SetModes({wpExactTextPositioning, wpNoTextRectClipping, wpDontAdjustTextSpacing, wpNoTextScaling});
        pdf->SetCanvasReference(wprefScreen);
        const bool labels = Checked(c.chbxLabelFrames);
        pdf->SetFontMode(labels && Checked(c.chbxEmbedFontSubset) ? wpEmbedSubsetTrueType_UsedChar
                                                                  : wpUseTrueTypeFonts);
        if (Checked(c.chbxSecurity)) {
            TWPDFEncryption encryption{wpEncryptFile};
            if (Checked(c.chbxPermitPrinting))
                encryption.Include(wpEnablePrinting);
            if (Checked(c.chbxPermitChanging))
                encryption.Include(wpEnableChanging);
            if (Checked(c.chbxPermitCopying))
                encryption.Include(wpEnableCopying);
            pdf->SetEncryption(encryption);
            pdf->SetSecurity(c.cmbxEncryption && c.cmbxEncryption->currentIndex() != 0 ? wpp128bit : wpp40bit);
            pdf->SetOwnerPassword(TextOf(c.medtPassword1));
            pdf->SetUserPassword(TextOf(c.medtPassword1));
        }
        pdf->SetInputfileMode(pwAppendToInput);
        pdf->SetInputFile(frontFile);
        TWPPDFExportInfo &info = pdf->Info();
        info.Title = TextOf(c.cmbxFileTitle);
        info.Author = TextOf(c.cmbxFileAuthor);
        info.Subject = TextOf(c.cmbxFileSubject);
        info.Keywords = TextOf(c.cmbxFileKeywords);
        info.Producer = AppTitle;
        pdf->SetFilename(output);
        pdf->BeginDoc();

        for (int p = 1; p <= pages; ++p) {
            pdf->StartPage(m_pageWidth, m_pageHeight, 0, 72, 72);
            DrawPage(p, nullptr, pdf.get());
            pdf->EndPage();
            if (progress) {
                progress->SetProgress(int(std::lround(p * 100.0 / pages)));
                if (progress->Cancelled())
                    break;
            }
            completed = p == pages;
        }
    } catch (const std::exception &e) {
        failure = QString::fromUtf8(e.what());
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
                failure = QString::fromUtf8(e.what());
            completed = false;
        }
    }
    pdf.reset();
    m_capture.reset();
    if (completed && !cancelled && failure.isEmpty() && Checked(c.chbxViewFile))
        platform::shellOpen(output);
    if (progress)
        progress->Finish();
    if (!failure.isEmpty())
        ShowErrorMessage(failure);
    else if (completed && !cancelled && !warnings.isEmpty())
        ShowWarningMessage(warnings.join(u'\n'));
    return completed && !cancelled && failure.isEmpty();
}

void TPDFCreator::DrawPage(int page, QImage *preview, TWPCustomPDFExport *pdf)
{
    const TLayoutControls &c = m_controls;
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

    const bool labels = Checked(c.chbxLabelFrames) && !m_labelBoxes.isEmpty();
    if (labels) {
        QFont font = c.labelFont ? c.labelFont() : QFont();
        if (preview)
            font.setPointSize(int(std::lround(font.pointSizeF() * 72 / TImageCanvas::ScreenPixelsPerInch())));
        canvas.SetFont(font, c.labelColor ? c.labelColor() : 0);
        canvas.SetTextAlign(TA_CENTER | TA_TOP);
    }

    const int64_t n = int64_t(cols) * rows;
    const int64_t first = n * (page - 1);
    const int64_t end = std::min<int64_t>(n * page, m_selection->FrameCount());
    QVector<QByteArray> recoded;
    if (!preview && IsSWFMode) {
        if (!m_capture)
            m_capture = std::make_unique<TPictureRecoders>(
                QSize(ScaledPixels(MovieWidth, Resolution()), ScaledPixels(MovieHeight, Resolution())), Quality());
        QStringList paths;
        for (int64_t k = first; k < end; ++k)
            paths << m_selection->Frames.at(int(k)).FileName;
        recoded = m_capture->Recode(paths);
    }
    for (int64_t k = first; k < end; ++k) {
        const TFrame &frame = m_selection->Frames.at(int(k));
        const int col = int(k % cols);
        const int row = int((k - first) / cols);
        const TBox &box = m_pictureBoxes[col][row];
        const QRect rect(box.Left, box.Top, box.Right - box.Left, box.Bottom - box.Top);
        if (preview) {
            // A picture that cannot be read leaves its cell empty here; the
            // PDF run reports it.
            const QImage picture = platform::readJpegFile(frame.FileName, rect.size());
            if (!picture.isNull())
                canvas.DrawImageStretched(rect, picture);
        } else {
            QByteArray jpeg;
            QSize pixels;
            if (IsSWFMode) {
                jpeg = recoded.at(int(k - first));
                pixels = m_capture->Size();
            } else {
                if (FlashServer)
                    FlashServer->ExportFrame(frame.SceneIndex, frame.FrameIndex);
                QFile file(ExportImageFileName());
                if (file.open(QIODevice::ReadOnly))
                    jpeg = file.readAll();
                pixels = platform::jpegSize(jpeg);
                if (!pixels.isValid())
                    throw std::runtime_error(
                        QStringLiteral("The picture of frame %1 could not be exported from the authoring tool.")
                            .arg(frame.FrameIndex + 1)
                            .toStdString());
            }
            if (pdf->DrawJPEG(box.Left, box.Top, wpImageJPEG, int(jpeg.size()), jpeg.constData(), pixels.width(),
                              pixels.height(), rect.height(), rect.width()) != 0)
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
