#include "sheet/PDFCreator.h"

#include "controls/RadioGroup.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <climits>
#include <cmath>

namespace {

int64_t ValueOf(const QSpinBox *edit)
{
    return edit ? edit->value() : 0;
}

bool Checked(const QCheckBox *box)
{
    return box && box->isChecked();
}

const QString generalMessage = QStringLiteral(
    "The page preview cannot be created.\nSet smaller page dimensions or different page orientation\n"
    "or smaller page margins or  smaller font of the frame labels\nor shorter frame labels or less frames per page.");

// More cells than any page can show; beyond this the box arrays would only
// exhaust memory.
constexpr int64_t maxCells = 1 << 20;

} // namespace

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

bool TPDFCreator::CreatePDF()
{
    if (!m_layoutValid) {
        ReportLayoutError();
        return false;
    }
    return false;
}
