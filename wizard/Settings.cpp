#include "wizard/Settings.h"

#include "core/Global.h"
#include "core/Registry.h"
#include "core/SettingNames.h"
#include "sheet/SheetSettings.h"
#include "sheet/PDFCreator.h"
#include "wizard/FontDialog.h"
#include "wizard/ImagePreviewFrm.h"
#include "wizard/Step1Frm.h"
#include "wizard/Step2Frm.h"
#include "wizard/Step3Frm.h"
#include "wizard/Step4Frm.h"
#include "wizard/Step5Frm.h"
#include "wizard/Step6Frm.h"
#include "wizard/WizardForms.h"

#include <QSignalBlocker>

namespace {
// The chosen index, or none when the stored one is not in the list.
void chooseIndex(QComboBox *combo, int index)
{
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}
} // namespace

void LoadSettings(platform::IKeyStore &key)
{
    const TRegistry reg(key);
    const TSheetSettings d;

    Forms.step1->chbxShowHints()->setChecked(reg.ReadBool(SettingName::ShowHints, true));
    Forms.step1->chbxShowHintsClick();

    if (auto *s2 = Forms.step2) {
        ReadHistory(reg, s2->step.cmbxSWFFile, SettingName::SWFFile);
        s2->step.cmbxSWFFile->setCurrentIndex(-1);
        chooseIndex(s2->step.cmbxCaptureMethod, reg.ReadInteger(SettingName::CaptureMethod, 0));
        s2->cmbxCaptureMethodChange();
    }

    auto &s3 = Forms.step3->step;
    s3.chbxShowCaptions->setChecked(reg.ReadBool(SettingName::ShowCaptions, true));
    s3.spnedtFrameFilterVal->setValue(reg.ReadInteger(SettingName::FrameFilterVal, 10));
    s3.edtSelectedFrames->setText(reg.ReadString(SettingName::SelectedFrames, QString()));

    auto &s4 = Forms.step4->step;
    chooseIndex(s4.cmbxPageSize, reg.ReadInteger(SettingName::PageSize, s4.cmbxPageSize->findText(kDefaultPageSize)));
    s4.spedtPageWidth->setValue(reg.ReadInteger(SettingName::PageWidth, d.PageWidth));
    s4.spedtPageHeight->setValue(reg.ReadInteger(SettingName::PageHeight, d.PageHeight));
    {
        // Restoring the orientation is no user's choice: no turning, no layout.
        const QSignalBlocker detached(s4.rgOrientation);
        s4.rgOrientation->SetItemIndex(reg.ReadInteger(SettingName::PageOrientation, int(d.Orientation)));
        s4.rgOrientation->SetTag(reg.ReadInteger(SettingName::PageOrientationTag, int(d.OrientationTag)));
    }
    s4.spedtPageLeftMargin->setValue(reg.ReadInteger(SettingName::PageLeftMargin, d.LeftMargin));
    s4.spedtPageRightMargin->setValue(reg.ReadInteger(SettingName::PageRightMargin, d.RightMargin));
    s4.spedtPageTopMargin->setValue(reg.ReadInteger(SettingName::PageTopMargin, d.TopMargin));
    s4.spedtPageBottomMargin->setValue(reg.ReadInteger(SettingName::PageBottomMargin, d.BottomMargin));
    s4.chbxCenterPageContents->setChecked(reg.ReadBool(SettingName::CenterPageContents, d.CenterPageContents));
    s4.spedtImageSpace->setValue(reg.ReadInteger(SettingName::ImageSpace, d.ImageSpace));
    s4.spedtTextSpace->setValue(reg.ReadInteger(SettingName::TextSpace, d.TextSpace));

    TStep5Form *step5 = Forms.step5;
    auto &s5 = step5->step;
    const int defaultResolution = s5.cmbxImageResolution->findText(QString::number(d.Resolution));
    const int resolution = reg.ReadInteger(SettingName::ImageResolution, defaultResolution);
    s5.cmbxImageResolution->setCurrentIndex(resolution >= 0 && resolution < s5.cmbxImageResolution->count()
                                                ? resolution
                                                : defaultResolution);
    chooseIndex(s5.cmbxImageQuality,
                reg.ReadInteger(SettingName::ImageQuality, s5.cmbxImageQuality->findText(QString::number(d.Quality))));
    s5.chbxLabelFrames->setChecked(reg.ReadBool(SettingName::LabelFrames, d.LabelFrames));
    TFontDialog *font = step5->fntdlgImageLabelsFont;
    font->Font.setFamily(reg.ReadString(SettingName::ImageLabelsFontName, d.LabelFont.family()));
    font->Font.setBold(reg.ReadBool(SettingName::ImageLabelsFontBold, false));
    font->Font.setItalic(reg.ReadBool(SettingName::ImageLabelsFontItalic, false));
    font->Font.setUnderline(reg.ReadBool(SettingName::ImageLabelsFontUnderline, false));
    font->Font.setStrikeOut(reg.ReadBool(SettingName::ImageLabelsFontStrikeOut, false));
    const int size = reg.ReadInteger(SettingName::ImageLabelsFontSize, d.LabelFont.pointSize());
    font->Font.setPointSize(size > 0 ? size : d.LabelFont.pointSize()); // a font has no size of 0 or less
    font->Color = reg.ReadInteger(SettingName::ImageLabelsFontColor, int(d.LabelColor));
    font->Charset = reg.ReadInteger(SettingName::ImageLabelsFontCharset, 1);
    ReadHistory(reg, s5.cmbxNonKeyFrameLabel, SettingName::NonKeyFrameLabel);
    if (!IsSWFMode)
        ReadHistory(reg, s5.cmbxKeyFrameLabel, SettingName::KeyFrameLabel);
    s5.chbxEmbedFontSubset->setChecked(reg.ReadBool(SettingName::EmbedFontSubset, d.EmbedFontSubset));
    s5.chbxSetFramesPerPage->setChecked(reg.ReadBool(SettingName::SetFramesPerPage, d.SetFramesPerPage));
    s5.spedtColumnsPerPage->setValue(reg.ReadInteger(SettingName::ColumnsPerPage, d.Columns));
    s5.spedtRowsPerPage->setValue(reg.ReadInteger(SettingName::RowsPerPage, d.Rows));

    TStep6Form *step6 = Forms.step6;
    auto &s6 = step6->step;
    if (!IsSWFMode)
        step6->SetPdfFileName(ChangeFileExt(MovieFileName, QStringLiteral(".pdf")));
    s6.chbxViewFile->setChecked(reg.ReadBool(SettingName::ViewFile, d.ViewFile));
    ReadHistory(reg, s6.cmbxInputFile, SettingName::InputFile);
    s6.cmbxInputFile->setCurrentIndex(s6.cmbxInputFile->count() > 0 ? 0 : -1);
    ReadHistory(reg, s6.cmbxFileTitle, SettingName::FileTitle);
    ReadHistory(reg, s6.cmbxFileAuthor, SettingName::FileAuthor);
    ReadHistory(reg, s6.cmbxFileSubject, SettingName::FileSubject);
    ReadHistory(reg, s6.cmbxFileKeywords, SettingName::FileKeywords);
    s6.chbxSecurity->setChecked(reg.ReadBool(SettingName::Security, d.Security));
    chooseIndex(s6.cmbxEncryption, reg.ReadInteger(SettingName::Encryption, d.Encryption128 ? 1 : 0));
    s6.chbxShowPassword->setChecked(reg.ReadBool(SettingName::ShowPassword, false));
    s6.chbxPermitPrinting->setChecked(reg.ReadBool(SettingName::PermitPrinting, d.PermitPrinting));
    s6.chbxPermitChanging->setChecked(reg.ReadBool(SettingName::PermitChanging, d.PermitChanging));
    s6.chbxPermitCopying->setChecked(reg.ReadBool(SettingName::PermitCopying, d.PermitCopying));

    Forms.imagePreview->move(reg.ReadInteger(SettingName::PreviewFormLeft, 0),
                             reg.ReadInteger(SettingName::PreviewFormTop, 0));
}

bool SaveSettings(platform::IKeyStore &key)
{
    TRegistry reg(key);
    const bool layoutValid = PDFCreator && PDFCreator->LayoutValid();

    reg.WriteBool(SettingName::ShowHints, Forms.step1->chbxShowHints()->isChecked());
    if (auto *s2 = Forms.step2) {
        WriteHistory(reg, s2->step.cmbxSWFFile, SettingName::SWFFile);
        reg.WriteInteger(SettingName::CaptureMethod, s2->step.cmbxCaptureMethod->currentIndex());
    }

    const auto &s3 = Forms.step3->step;
    reg.WriteBool(SettingName::ShowCaptions, s3.chbxShowCaptions->isChecked());
    reg.WriteInteger(SettingName::FrameFilterVal, s3.spnedtFrameFilterVal->value());
    reg.WriteString(SettingName::SelectedFrames, s3.edtSelectedFrames->text());

    const auto &s4 = Forms.step4->step;
    if (layoutValid) {
        reg.WriteInteger(SettingName::PageSize, s4.cmbxPageSize->currentIndex());
        reg.WriteInteger(SettingName::PageWidth, s4.spedtPageWidth->value());
        reg.WriteInteger(SettingName::PageHeight, s4.spedtPageHeight->value());
        reg.WriteInteger(SettingName::PageOrientation, s4.rgOrientation->ItemIndex());
        reg.WriteInteger(SettingName::PageOrientationTag, s4.rgOrientation->Tag());
        reg.WriteInteger(SettingName::PageLeftMargin, s4.spedtPageLeftMargin->value());
        reg.WriteInteger(SettingName::PageRightMargin, s4.spedtPageRightMargin->value());
        reg.WriteInteger(SettingName::PageTopMargin, s4.spedtPageTopMargin->value());
        reg.WriteInteger(SettingName::PageBottomMargin, s4.spedtPageBottomMargin->value());
        reg.WriteBool(SettingName::CenterPageContents, s4.chbxCenterPageContents->isChecked());
        reg.WriteInteger(SettingName::ImageSpace, s4.spedtImageSpace->value());
        reg.WriteInteger(SettingName::TextSpace, s4.spedtTextSpace->value());
    }

    TStep5Form *step5 = Forms.step5;
    const auto &s5 = step5->step;
    reg.WriteInteger(SettingName::ImageResolution, s5.cmbxImageResolution->currentIndex());
    reg.WriteInteger(SettingName::ImageQuality, s5.cmbxImageQuality->currentIndex());
    if (layoutValid) {
        const TFontDialog *font = step5->fntdlgImageLabelsFont;
        reg.WriteBool(SettingName::LabelFrames, s5.chbxLabelFrames->isChecked());
        reg.WriteString(SettingName::ImageLabelsFontName, font->Font.family());
        reg.WriteBool(SettingName::ImageLabelsFontBold, font->Font.bold());
        reg.WriteBool(SettingName::ImageLabelsFontItalic, font->Font.italic());
        reg.WriteBool(SettingName::ImageLabelsFontUnderline, font->Font.underline());
        reg.WriteBool(SettingName::ImageLabelsFontStrikeOut, font->Font.strikeOut());
        reg.WriteInteger(SettingName::ImageLabelsFontSize, font->Font.pointSize());
        reg.WriteInteger(SettingName::ImageLabelsFontColor, font->Color);
        reg.WriteInteger(SettingName::ImageLabelsFontCharset, font->Charset);
        WriteHistory(reg, s5.cmbxNonKeyFrameLabel, SettingName::NonKeyFrameLabel);
        if (!IsSWFMode)
            WriteHistory(reg, s5.cmbxKeyFrameLabel, SettingName::KeyFrameLabel);
        reg.WriteBool(SettingName::SetFramesPerPage, s5.chbxSetFramesPerPage->isChecked());
        reg.WriteInteger(SettingName::ColumnsPerPage, s5.spedtColumnsPerPage->value());
        reg.WriteInteger(SettingName::RowsPerPage, s5.spedtRowsPerPage->value());
    }

    const auto &s6 = Forms.step6->step;
    reg.WriteBool(SettingName::EmbedFontSubset, s5.chbxEmbedFontSubset->isChecked());
    reg.WriteBool(SettingName::ViewFile, s6.chbxViewFile->isChecked());
    WriteHistory(reg, s6.cmbxInputFile, SettingName::InputFile);
    WriteHistory(reg, s6.cmbxFileTitle, SettingName::FileTitle);
    WriteHistory(reg, s6.cmbxFileAuthor, SettingName::FileAuthor);
    WriteHistory(reg, s6.cmbxFileSubject, SettingName::FileSubject);
    WriteHistory(reg, s6.cmbxFileKeywords, SettingName::FileKeywords);
    reg.WriteBool(SettingName::Security, s6.chbxSecurity->isChecked());
    reg.WriteInteger(SettingName::Encryption, s6.cmbxEncryption->currentIndex());
    reg.WriteBool(SettingName::ShowPassword, s6.chbxShowPassword->isChecked());
    reg.WriteBool(SettingName::PermitPrinting, s6.chbxPermitPrinting->isChecked());
    reg.WriteBool(SettingName::PermitChanging, s6.chbxPermitChanging->isChecked());
    reg.WriteBool(SettingName::PermitCopying, s6.chbxPermitCopying->isChecked());
    reg.WriteInteger(SettingName::PreviewFormLeft, Forms.imagePreview->x());
    reg.WriteInteger(SettingName::PreviewFormTop, Forms.imagePreview->y());
    return key.flush();
}
