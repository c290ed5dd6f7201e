#include "wizard/Settings.h"

#include "core/Global.h"
#include "core/Registry.h"
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

    Forms.step1->chbxShowHints()->setChecked(reg.ReadBool(QStringLiteral("ShowHints"), true));
    Forms.step1->chbxShowHintsClick();

    if (auto *s2 = Forms.step2) {
        ReadHistory(reg, s2->step.cmbxSWFFile, QStringLiteral("SWFFile"));
        s2->step.cmbxSWFFile->setCurrentIndex(-1);
        chooseIndex(s2->step.cmbxCaptureMethod, reg.ReadInteger(QStringLiteral("CaptureMethod"), 0));
        s2->cmbxCaptureMethodChange();
    }

    auto &s3 = Forms.step3->step;
    s3.chbxShowCaptions->setChecked(reg.ReadBool(QStringLiteral("ShowCaptions"), true));
    s3.spnedtFrameFilterVal->setValue(reg.ReadInteger(QStringLiteral("FrameFilterVal"), 10));
    s3.edtSelectedFrames->setText(reg.ReadString(QStringLiteral("SelectedFrames"), QString()));

    auto &s4 = Forms.step4->step;
    chooseIndex(s4.cmbxPageSize, reg.ReadInteger(QStringLiteral("PageSize"), s4.cmbxPageSize->findText(QStringLiteral("A4"))));
    s4.spedtPageWidth->setValue(reg.ReadInteger(QStringLiteral("PageWidth"), 210));
    s4.spedtPageHeight->setValue(reg.ReadInteger(QStringLiteral("PageHeight"), 297));
    {
        // Restoring the orientation is no user's choice: no turning, no layout.
        const QSignalBlocker detached(s4.rgOrientation);
        s4.rgOrientation->SetItemIndex(reg.ReadInteger(QStringLiteral("PageOrientation"), 2));
        s4.rgOrientation->SetTag(reg.ReadInteger(QStringLiteral("PageOrientationTag"), 0));
    }
    s4.spedtPageLeftMargin->setValue(reg.ReadInteger(QStringLiteral("PageLeftMargin"), 10));
    s4.spedtPageRightMargin->setValue(reg.ReadInteger(QStringLiteral("PageRightMargin"), 10));
    s4.spedtPageTopMargin->setValue(reg.ReadInteger(QStringLiteral("PageTopMargin"), 10));
    s4.spedtPageBottomMargin->setValue(reg.ReadInteger(QStringLiteral("PageBottomMargin"), 10));
    s4.chbxCenterPageContents->setChecked(reg.ReadBool(QStringLiteral("CenterPageContents"), true));
    s4.spedtImageSpace->setValue(reg.ReadInteger(QStringLiteral("ImageSpace"), 5));
    s4.spedtTextSpace->setValue(reg.ReadInteger(QStringLiteral("TextSpace"), 5));

    TStep5Form *step5 = Forms.step5;
    auto &s5 = step5->step;
    const int resolution = reg.ReadInteger(QStringLiteral("ImageResolution"), 2);
    s5.cmbxImageResolution->setCurrentIndex(resolution >= 0 && resolution < s5.cmbxImageResolution->count() ? resolution : 2);
    chooseIndex(s5.cmbxImageQuality, reg.ReadInteger(QStringLiteral("ImageQuality"), 6));
    s5.chbxLabelFrames->setChecked(reg.ReadBool(QStringLiteral("LabelFrames"), true));
    TFontDialog *font = step5->fntdlgImageLabelsFont;
    font->Font.setFamily(reg.ReadString(QStringLiteral("ImageLabelsFontName"), QStringLiteral("Arial")));
    font->Font.setBold(reg.ReadBool(QStringLiteral("ImageLabelsFontBold"), false));
    font->Font.setItalic(reg.ReadBool(QStringLiteral("ImageLabelsFontItalic"), false));
    font->Font.setUnderline(reg.ReadBool(QStringLiteral("ImageLabelsFontUnderline"), false));
    font->Font.setStrikeOut(reg.ReadBool(QStringLiteral("ImageLabelsFontStrikeOut"), false));
    const int size = reg.ReadInteger(QStringLiteral("ImageLabelsFontSize"), 12);
    font->Font.setPointSize(size > 0 ? size : 12); // a font has no size of 0 or less
    font->Color = reg.ReadInteger(QStringLiteral("ImageLabelsFontColor"), 0);
    font->Charset = reg.ReadInteger(QStringLiteral("ImageLabelsFontCharset"), 1);
    ReadHistory(reg, s5.cmbxNonKeyFrameLabel, QStringLiteral("NonKeyFrameLabel"));
    if (!IsSWFMode)
        ReadHistory(reg, s5.cmbxKeyFrameLabel, QStringLiteral("KeyFrameLabel"));
    s5.chbxEmbedFontSubset->setChecked(reg.ReadBool(QStringLiteral("EmbedFontSubset"), false));
    s5.chbxSetFramesPerPage->setChecked(reg.ReadBool(QStringLiteral("SetFramesPerPage"), false));
    s5.spedtColumnsPerPage->setValue(reg.ReadInteger(QStringLiteral("ColumnsPerPage"), 1));
    s5.spedtRowsPerPage->setValue(reg.ReadInteger(QStringLiteral("RowsPerPage"), 1));

    TStep6Form *step6 = Forms.step6;
    auto &s6 = step6->step;
    if (!IsSWFMode)
        step6->SetPdfFileName(ChangeFileExt(MovieFileName, QStringLiteral(".pdf")));
    s6.chbxViewFile->setChecked(reg.ReadBool(QStringLiteral("ViewFile"), true));
    ReadHistory(reg, s6.cmbxInputFile, QStringLiteral("InputFile"));
    s6.cmbxInputFile->setCurrentIndex(s6.cmbxInputFile->count() > 0 ? 0 : -1);
    ReadHistory(reg, s6.cmbxFileTitle, QStringLiteral("FileTitle"));
    ReadHistory(reg, s6.cmbxFileAuthor, QStringLiteral("FileAuthor"));
    ReadHistory(reg, s6.cmbxFileSubject, QStringLiteral("FileSubject"));
    ReadHistory(reg, s6.cmbxFileKeywords, QStringLiteral("FileKeywords"));
    s6.chbxSecurity->setChecked(reg.ReadBool(QStringLiteral("Security"), false));
    chooseIndex(s6.cmbxEncryption, reg.ReadInteger(QStringLiteral("Encryption"), 0));
    s6.chbxShowPassword->setChecked(reg.ReadBool(QStringLiteral("ShowPassword"), false));
    s6.chbxPermitPrinting->setChecked(reg.ReadBool(QStringLiteral("PermitPrinting"), true));
    s6.chbxPermitChanging->setChecked(reg.ReadBool(QStringLiteral("PermitChanging"), true));
    s6.chbxPermitCopying->setChecked(reg.ReadBool(QStringLiteral("PermitCopying"), true));

    Forms.imagePreview->move(reg.ReadInteger(QStringLiteral("PreviewFormLeft"), 0),
                             reg.ReadInteger(QStringLiteral("PreviewFormTop"), 0));
}

bool SaveSettings(platform::IKeyStore &key)
{
    TRegistry reg(key);
    const bool layoutValid = PDFCreator && PDFCreator->LayoutValid();

    reg.WriteBool(QStringLiteral("ShowHints"), Forms.step1->chbxShowHints()->isChecked());
    if (auto *s2 = Forms.step2) {
        WriteHistory(reg, s2->step.cmbxSWFFile, QStringLiteral("SWFFile"));
        reg.WriteInteger(QStringLiteral("CaptureMethod"), s2->step.cmbxCaptureMethod->currentIndex());
    }

    const auto &s3 = Forms.step3->step;
    reg.WriteBool(QStringLiteral("ShowCaptions"), s3.chbxShowCaptions->isChecked());
    reg.WriteInteger(QStringLiteral("FrameFilterVal"), s3.spnedtFrameFilterVal->value());
    reg.WriteString(QStringLiteral("SelectedFrames"), s3.edtSelectedFrames->text());

    const auto &s4 = Forms.step4->step;
    if (layoutValid) {
        reg.WriteInteger(QStringLiteral("PageSize"), s4.cmbxPageSize->currentIndex());
        reg.WriteInteger(QStringLiteral("PageWidth"), s4.spedtPageWidth->value());
        reg.WriteInteger(QStringLiteral("PageHeight"), s4.spedtPageHeight->value());
        reg.WriteInteger(QStringLiteral("PageOrientation"), s4.rgOrientation->ItemIndex());
        reg.WriteInteger(QStringLiteral("PageOrientationTag"), s4.rgOrientation->Tag());
        reg.WriteInteger(QStringLiteral("PageLeftMargin"), s4.spedtPageLeftMargin->value());
        reg.WriteInteger(QStringLiteral("PageRightMargin"), s4.spedtPageRightMargin->value());
        reg.WriteInteger(QStringLiteral("PageTopMargin"), s4.spedtPageTopMargin->value());
        reg.WriteInteger(QStringLiteral("PageBottomMargin"), s4.spedtPageBottomMargin->value());
        reg.WriteBool(QStringLiteral("CenterPageContents"), s4.chbxCenterPageContents->isChecked());
        reg.WriteInteger(QStringLiteral("ImageSpace"), s4.spedtImageSpace->value());
        reg.WriteInteger(QStringLiteral("TextSpace"), s4.spedtTextSpace->value());
    }

    TStep5Form *step5 = Forms.step5;
    const auto &s5 = step5->step;
    reg.WriteInteger(QStringLiteral("ImageResolution"), s5.cmbxImageResolution->currentIndex());
    reg.WriteInteger(QStringLiteral("ImageQuality"), s5.cmbxImageQuality->currentIndex());
    if (layoutValid) {
        const TFontDialog *font = step5->fntdlgImageLabelsFont;
        reg.WriteBool(QStringLiteral("LabelFrames"), s5.chbxLabelFrames->isChecked());
        reg.WriteString(QStringLiteral("ImageLabelsFontName"), font->Font.family());
        reg.WriteBool(QStringLiteral("ImageLabelsFontBold"), font->Font.bold());
        reg.WriteBool(QStringLiteral("ImageLabelsFontItalic"), font->Font.italic());
        reg.WriteBool(QStringLiteral("ImageLabelsFontUnderline"), font->Font.underline());
        reg.WriteBool(QStringLiteral("ImageLabelsFontStrikeOut"), font->Font.strikeOut());
        reg.WriteInteger(QStringLiteral("ImageLabelsFontSize"), font->Font.pointSize());
        reg.WriteInteger(QStringLiteral("ImageLabelsFontColor"), font->Color);
        reg.WriteInteger(QStringLiteral("ImageLabelsFontCharset"), font->Charset);
        WriteHistory(reg, s5.cmbxNonKeyFrameLabel, QStringLiteral("NonKeyFrameLabel"));
        if (!IsSWFMode)
            WriteHistory(reg, s5.cmbxKeyFrameLabel, QStringLiteral("KeyFrameLabel"));
        reg.WriteBool(QStringLiteral("SetFramesPerPage"), s5.chbxSetFramesPerPage->isChecked());
        reg.WriteInteger(QStringLiteral("ColumnsPerPage"), s5.spedtColumnsPerPage->value());
        reg.WriteInteger(QStringLiteral("RowsPerPage"), s5.spedtRowsPerPage->value());
    }

    const auto &s6 = Forms.step6->step;
    reg.WriteBool(QStringLiteral("EmbedFontSubset"), s5.chbxEmbedFontSubset->isChecked());
    reg.WriteBool(QStringLiteral("ViewFile"), s6.chbxViewFile->isChecked());
    WriteHistory(reg, s6.cmbxInputFile, QStringLiteral("InputFile"));
    WriteHistory(reg, s6.cmbxFileTitle, QStringLiteral("FileTitle"));
    WriteHistory(reg, s6.cmbxFileAuthor, QStringLiteral("FileAuthor"));
    WriteHistory(reg, s6.cmbxFileSubject, QStringLiteral("FileSubject"));
    WriteHistory(reg, s6.cmbxFileKeywords, QStringLiteral("FileKeywords"));
    reg.WriteBool(QStringLiteral("Security"), s6.chbxSecurity->isChecked());
    reg.WriteInteger(QStringLiteral("Encryption"), s6.cmbxEncryption->currentIndex());
    reg.WriteBool(QStringLiteral("ShowPassword"), s6.chbxShowPassword->isChecked());
    reg.WriteBool(QStringLiteral("PermitPrinting"), s6.chbxPermitPrinting->isChecked());
    reg.WriteBool(QStringLiteral("PermitChanging"), s6.chbxPermitChanging->isChecked());
    reg.WriteBool(QStringLiteral("PermitCopying"), s6.chbxPermitCopying->isChecked());
    reg.WriteInteger(QStringLiteral("PreviewFormLeft"), Forms.imagePreview->x());
    reg.WriteInteger(QStringLiteral("PreviewFormTop"), Forms.imagePreview->y());
    return key.flush();
}
