#include "wizard/WizardSheet.h"

#include "sheet/PagePreviewFrm.h"
#include "sheet/PictureSource.h"
#include "wizard/BaseWizardFrm.h"
#include "wizard/FontDialog.h"
#include "wizard/Step4Frm.h"
#include "wizard/Step5Frm.h"
#include "wizard/Step6Frm.h"
#include "wizard/WizardForms.h"

#include <QAbstractSpinBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <utility>

namespace {

// Each setting with its control; the page and layout settings first.
std::vector<std::pair<TSheetSetting, QWidget *>> SettingControls()
{
    std::vector<std::pair<TSheetSetting, QWidget *>> all;
    if (Forms.step4) {
        const Ui::TStep4Form &p = Forms.step4->step;
        all.insert(all.end(), {{TSheetSetting::PageSize, p.cmbxPageSize},
                               {TSheetSetting::PageWidth, p.spedtPageWidth},
                               {TSheetSetting::PageHeight, p.spedtPageHeight},
                               {TSheetSetting::Orientation, p.rgOrientation},
                               {TSheetSetting::LeftMargin, p.spedtPageLeftMargin},
                               {TSheetSetting::RightMargin, p.spedtPageRightMargin},
                               {TSheetSetting::TopMargin, p.spedtPageTopMargin},
                               {TSheetSetting::BottomMargin, p.spedtPageBottomMargin},
                               {TSheetSetting::ImageSpace, p.spedtImageSpace},
                               {TSheetSetting::TextSpace, p.spedtTextSpace},
                               {TSheetSetting::CenterPageContents, p.chbxCenterPageContents}});
    }
    if (Forms.step5) {
        const Ui::TStep5Form &l = Forms.step5->step;
        all.insert(all.end(), {{TSheetSetting::LabelFrames, l.chbxLabelFrames},
                               {TSheetSetting::NonKeyFrameLabel, l.cmbxNonKeyFrameLabel},
                               {TSheetSetting::EditNonKeyFrameLabel, l.bitbtnEditNonKeyFrameLabel},
                               {TSheetSetting::KeyFrameLabel, l.cmbxKeyFrameLabel},
                               {TSheetSetting::EditKeyFrameLabel, l.bitbtnEditKeyFrameLabel},
                               {TSheetSetting::LabelFont, l.bitbtnImageLabelsFont},
                               {TSheetSetting::SetFramesPerPage, l.chbxSetFramesPerPage},
                               {TSheetSetting::Columns, l.spedtColumnsPerPage},
                               {TSheetSetting::Rows, l.spedtRowsPerPage}});
    }
    if (Forms.step6) {
        const Ui::TStep6Form &o = Forms.step6->step;
        all.insert(all.end(), {{TSheetSetting::OutputFile, o.edtPDFFile},
                               {TSheetSetting::FrontFile, o.cmbxInputFile},
                               {TSheetSetting::PasswordRepeat, o.medtPassword2}});
    }
    return all;
}

bool IsOutputSetting(TSheetSetting setting)
{
    return setting == TSheetSetting::OutputFile || setting == TSheetSetting::FrontFile ||
           setting == TSheetSetting::PasswordRepeat;
}

} // namespace

TSheetSettings WizardSheetSettings()
{
    TSheetSettings s;
    if (Forms.step4) {
        const Ui::TStep4Form &p = Forms.step4->step;
        s.PageWidth = p.spedtPageWidth->value();
        s.PageHeight = p.spedtPageHeight->value();
        s.Orientation = TOrientation(p.rgOrientation->ItemIndex());
        s.OrientationTag = p.rgOrientation->Tag() == TStep4Form::opLandscape ? TOrientation::Landscape
                                                                              : TOrientation::Portrait;
        s.LeftMargin = p.spedtPageLeftMargin->value();
        s.RightMargin = p.spedtPageRightMargin->value();
        s.TopMargin = p.spedtPageTopMargin->value();
        s.BottomMargin = p.spedtPageBottomMargin->value();
        s.CenterPageContents = p.chbxCenterPageContents->isChecked();
        s.ImageSpace = p.spedtImageSpace->value();
        s.TextSpace = p.spedtTextSpace->value();
    }
    if (Forms.step5) {
        const Ui::TStep5Form &l = Forms.step5->step;
        bool ok = false;
        if (const int dpi = l.cmbxImageResolution->currentText().toInt(&ok); ok)
            s.Resolution = dpi;
        if (const int quality = l.cmbxImageQuality->currentText().toInt(&ok); ok)
            s.Quality = quality;
        s.LabelFrames = l.chbxLabelFrames->isChecked();
        s.NonKeyFrameLabel = l.cmbxNonKeyFrameLabel->currentText();
        s.KeyFrameLabel = l.cmbxKeyFrameLabel->currentText();
        s.LabelFont = Forms.step5->fntdlgImageLabelsFont->Font;
        s.LabelColor = uint32_t(Forms.step5->fntdlgImageLabelsFont->Color);
        s.EmbedFontSubset = l.chbxEmbedFontSubset->isChecked();
        s.SetFramesPerPage = l.chbxSetFramesPerPage->isChecked();
        s.Columns = l.spedtColumnsPerPage->value();
        s.Rows = l.spedtRowsPerPage->value();
    }
    if (Forms.step6) {
        const Ui::TStep6Form &o = Forms.step6->step;
        s.OutputFile = ChangeFileExt(o.edtPDFDirectory->text() + o.edtPDFFile->text(), QStringLiteral(".pdf"));
        s.FrontFile = o.cmbxInputFile->currentText();
        s.Title = o.cmbxFileTitle->currentText();
        s.Author = o.cmbxFileAuthor->currentText();
        s.Subject = o.cmbxFileSubject->currentText();
        s.Keywords = o.cmbxFileKeywords->currentText();
        s.Security = o.chbxSecurity->isChecked();
        s.Encryption128 = o.cmbxEncryption->currentIndex() != 0;
        s.Password = o.medtPassword1->text();
        if (o.medtPassword2->isVisibleTo(o.medtPassword2->window()))
            s.PasswordRepeat = o.medtPassword2->text();
        s.PermitPrinting = o.chbxPermitPrinting->isChecked();
        s.PermitChanging = o.chbxPermitChanging->isChecked();
        s.PermitCopying = o.chbxPermitCopying->isChecked();
        s.ViewFile = o.chbxViewFile->isChecked();
    }
    return s;
}

QWidget *ControlOfSetting(TSheetSetting setting)
{
    for (const auto &[s, control] : SettingControls())
        if (s == setting)
            return control;
    return nullptr;
}

TSheetSetting SettingOfControl(const QWidget *control)
{
    if (!control)
        return TSheetSetting::None;
    for (const auto &[setting, c] : SettingControls())
        if (c == control && !IsOutputSetting(setting))
            return setting;
    return TSheetSetting::Other;
}

void PlacePagePreview(QWidget *panel)
{
    QWidget *preview = Forms.pagePreview;
    if (!preview || !panel)
        return;
    if (preview->parentWidget() != panel)
        preview->setParent(panel);
    preview->move(0, 0);
    preview->show();
}

void RefreshPagePreview(const QWidget *cause)
{
    if (TPagePreviewForm *preview = Forms.pagePreview)
        preview->RefreshPreview(SettingOfControl(cause));
}

TWizardSheetHost::TWizardSheetHost(TSheetProgress *progress) : m_progress(progress) {}

TWizardSheetHost::~TWizardSheetHost() = default;

TPictureSource &TWizardSheetHost::Pictures()
{
    // Made again whenever the movie or the authoring tool it stands for changes.
    const TFlashServer *server = IsSWFMode ? nullptr : FlashServer;
    const QSize movie(MovieWidth, MovieHeight);
    if (!m_pictures || server != m_picturesServer || (!server && movie != m_picturesFor)) {
        if (server)
            m_pictures = std::make_unique<TExportedPictures>(*FlashServer);
        else
            m_pictures = std::make_unique<TCapturedPictures>(movie);
        m_picturesServer = server;
        m_picturesFor = movie;
    }
    return *m_pictures;
}

void TWizardSheetHost::ReportSetting(TSheetSetting setting, const QString &message)
{
    QWidget *control = ControlOfSetting(setting);
    if (control)
        if (auto *form = qobject_cast<TBaseWizardForm *>(control->window()); form && StepForms.contains(form))
            ShowWizardStep(form);
    ShowErrorMessage(message);
    if (!control)
        return;
    if (IsOutputSetting(setting)) {
        control->setFocus();
        return;
    }

    const Ui::TStep5Form *layout = Forms.step5 ? &Forms.step5->step : nullptr;
    if (setting == TSheetSetting::LabelFrames && layout) {
        layout->grbxLabelFrames->setFocus();
    } else if (setting == TSheetSetting::SetFramesPerPage && layout) {
        layout->grbxFramesPerPage->setFocus();
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
