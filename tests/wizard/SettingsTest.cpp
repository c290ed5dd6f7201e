#include "WizardFixture.h"

#include "core/Registry.h"
#include "platform/KeyStore.h"
#include "wizard/FontDialog.h"
#include "wizard/ImagePreviewFrm.h"
#include "wizard/Settings.h"
#include "wizard/Step2Frm.h"
#include "wizard/Step3Frm.h"
#include "wizard/Step4Frm.h"
#include "wizard/Step5Frm.h"
#include "wizard/Step6Frm.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList items(const QComboBox *c)
{
    QStringList l;
    for (int i = 0; i < c->count(); ++i)
        l << c->itemText(i);
    return l;
}
} // namespace

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { qputenv("TMPDIR", tmp.path().toUtf8()); }
    void cleanup() { TearDownWizard(); }

    void emptyKeyGivesTheDefaults_data()
    {
        QTest::addColumn<bool>("swf");
        QTest::newRow("SWF mode") << true;
        QTest::newRow("FLA mode") << false;
    }
    void emptyKeyGivesTheDefaults()
    {
        QFETCH(bool, swf);
        BuildWizard(swf);
        platform::MemoryKeyStore key;
        LoadSettings(key);
        QVERIFY(Forms.step1->chbxShowHints()->isChecked());
        if (swf) {
            QCOMPARE(Forms.step2->step.cmbxSWFFile->currentIndex(), -1);
            QCOMPARE(Forms.step2->step.cmbxCaptureMethod->currentIndex(), 0);
        }
        const auto &s3 = Forms.step3->step;
        QVERIFY(s3.chbxShowCaptions->isChecked());
        QCOMPARE(s3.spnedtFrameFilterVal->value(), 10);
        QCOMPARE(s3.edtSelectedFrames->text(), QString());
        const auto &s4 = Forms.step4->step;
        QCOMPARE(s4.cmbxPageSize->currentText(), QStringLiteral("A4"));
        QCOMPARE(s4.spedtPageWidth->value(), 210);
        QCOMPARE(s4.spedtPageHeight->value(), 297);
        QCOMPARE(s4.rgOrientation->ItemIndex(), 2);
        QCOMPARE(s4.rgOrientation->Tag(), 0);
        for (QSpinBox *margin : {s4.spedtPageLeftMargin, s4.spedtPageRightMargin, s4.spedtPageTopMargin, s4.spedtPageBottomMargin})
            QCOMPARE(margin->value(), 10);
        QVERIFY(s4.chbxCenterPageContents->isChecked());
        QCOMPARE(s4.spedtImageSpace->value(), 5);
        QCOMPARE(s4.spedtTextSpace->value(), 5);
        const auto &s5 = Forms.step5->step;
        QCOMPARE(s5.cmbxImageResolution->currentText(), QStringLiteral("72"));
        QCOMPARE(s5.cmbxImageQuality->currentText(), QStringLiteral("70"));
        QVERIFY(s5.chbxLabelFrames->isChecked());
        const TFontDialog *font = Forms.step5->fntdlgImageLabelsFont;
        QCOMPARE(font->Font.family(), QStringLiteral("Arial"));
        QCOMPARE(font->Font.pointSize(), 12);
        QVERIFY(!font->Font.bold() && !font->Font.italic() && !font->Font.underline() && !font->Font.strikeOut());
        QCOMPARE(font->Color, 0);
        QCOMPARE(font->Charset, 1);
        QCOMPARE(s5.cmbxNonKeyFrameLabel->currentText(), QStringLiteral("Frame <N>"));
        QCOMPARE(s5.cmbxNonKeyFrameLabel->count(), 5);
        QCOMPARE(s5.cmbxKeyFrameLabel->currentText(), QStringLiteral("Frame <N> *"));
        QVERIFY(!s5.chbxEmbedFontSubset->isChecked());
        QVERIFY(!s5.chbxSetFramesPerPage->isChecked());
        QCOMPARE(s5.spedtColumnsPerPage->value(), 1);
        QCOMPARE(s5.spedtRowsPerPage->value(), 1);
        const auto &s6 = Forms.step6->step;
        QVERIFY(s6.chbxViewFile->isChecked());
        QVERIFY(!s6.chbxSecurity->isChecked());
        QVERIFY(!s6.cmbxEncryption->isEnabled()); // the security group follows its box
        QCOMPARE(s6.cmbxEncryption->currentIndex(), 0);
        QVERIFY(!s6.chbxShowPassword->isChecked());
        QVERIFY(s6.chbxPermitPrinting->isChecked() && s6.chbxPermitChanging->isChecked() && s6.chbxPermitCopying->isChecked());
        QCOMPARE(Forms.imagePreview->pos(), QPoint(0, 0));
        if (!swf)
            QCOMPARE(Forms.step6->GetPdfFileName(), QStringLiteral("/docs/intro.pdf"));
    }

    void unreadableValuesFallBack()
    {
        BuildWizard(true);
        platform::MemoryKeyStore key;
        key.values = {{"PageWidth", "abc"},     {"ShowHints", "2"},        {"ShowCaptions", "x"},
                      {"ImageResolution", "6"}, {"ImageQuality", "42"},    {"PageSize", "-3"},
                      {"ImageLabelsFontSize", "0"}, {"Security", "1"},     {"FrameFilterVal", "2147483647"}};
        LoadSettings(key);
        QCOMPARE(Forms.step4->step.spedtPageWidth->value(), 210);
        QVERIFY(Forms.step1->chbxShowHints()->isChecked());
        QVERIFY(Forms.step3->step.chbxShowCaptions->isChecked());
        // "300" does not exist in SWF mode's shorter list: "72" is chosen.
        QCOMPARE(Forms.step5->step.cmbxImageResolution->currentText(), QStringLiteral("72"));
        QCOMPARE(Forms.step5->step.cmbxImageQuality->currentIndex(), -1);
        QCOMPARE(Forms.step4->step.cmbxPageSize->currentIndex(), -1);
        QCOMPARE(Forms.step5->fntdlgImageLabelsFont->Font.pointSize(), 12);
        QVERIFY(Forms.step6->step.cmbxEncryption->isEnabled()); // the box's handler ran
        QCOMPARE(Forms.step3->step.spnedtFrameFilterVal->value(), 2147483647);
    }

    void flaModeKeepsTheLongResolutionList()
    {
        BuildWizard(false);
        platform::MemoryKeyStore key;
        key.values = {{"ImageResolution", "6"}};
        LoadSettings(key);
        QCOMPARE(Forms.step5->step.cmbxImageResolution->currentText(), QStringLiteral("300"));
    }

    void historiesReadWithTheirIndexRules()
    {
        BuildWizard(true);
        platform::MemoryKeyStore key;
        key.values = {{"SWFFile01", "/m/a.swf"}, {"SWFFile02", "/m/b.swf"}, {"SWFFileIndex", "1"},
                      {"InputFile01", ""},       {"InputFile02", "/f.pdf"}, {"InputFileIndex", "1"},
                      {"FileTitle01", "T1"},     {"FileTitle02", "T2"},     {"FileTitle04", "T4"},
                      {"FileTitleIndex", "1"},   {"NonKeyFrameLabel01", "<L>"}};
        LoadSettings(key);
        QCOMPARE(items(Forms.step2->step.cmbxSWFFile), (QStringList{"/m/a.swf", "/m/b.swf"}));
        QCOMPARE(Forms.step2->step.cmbxSWFFile->currentIndex(), -1);   // no movie chosen at start
        QCOMPARE(Forms.step6->step.cmbxInputFile->currentIndex(), 0);  // the blank entry
        QCOMPARE(items(Forms.step6->step.cmbxFileTitle), (QStringList{"T1", "T2"}));
        QCOMPARE(Forms.step6->step.cmbxFileTitle->currentText(), QStringLiteral("T2"));
        QCOMPARE(items(Forms.step5->step.cmbxNonKeyFrameLabel), QStringList{"<L>"});
    }

    void aRoundTripKeepsEveryValue()
    {
        BuildWizard(false);
        platform::MemoryKeyStore first;
        LoadSettings(first);
        Forms.step3->step.spnedtFrameFilterVal->setValue(33);
        Forms.step3->step.edtSelectedFrames->setText("1,3,5-7");
        Forms.step5->step.cmbxImageResolution->setCurrentIndex(7);
        Forms.step5->step.cmbxImageQuality->setCurrentIndex(9);
        Forms.step5->step.chbxEmbedFontSubset->setChecked(true);
        AddToHistory(Forms.step6->step.cmbxFileAuthor, "Ann");
        AddToHistory(Forms.step6->step.cmbxFileAuthor, "Bob");
        Forms.step6->step.chbxSecurity->setChecked(true);
        Forms.step6->step.cmbxEncryption->setCurrentIndex(1);
        Forms.step6->step.chbxPermitCopying->setChecked(false);
        Forms.step6->step.medtPassword1->setText("s3cret-pass");
        Forms.imagePreview->move(120, 80);
        platform::MemoryKeyStore key;
        QVERIFY(SaveSettings(key));
        for (const QString &v : key.values)
            QVERIFY2(!v.contains("s3cret"), "a password was stored");
        TearDownWizard();

        BuildWizard(false);
        LoadSettings(key);
        QCOMPARE(Forms.step3->step.spnedtFrameFilterVal->value(), 33);
        QCOMPARE(Forms.step3->step.edtSelectedFrames->text(), QStringLiteral("1,3,5-7"));
        QCOMPARE(Forms.step5->step.cmbxImageResolution->currentText(), QStringLiteral("600"));
        QCOMPARE(Forms.step5->step.cmbxImageQuality->currentText(), QStringLiteral("100"));
        QVERIFY(Forms.step5->step.chbxEmbedFontSubset->isChecked());
        QCOMPARE(items(Forms.step6->step.cmbxFileAuthor), (QStringList{"Bob", "Ann"}));
        QVERIFY(Forms.step6->step.chbxSecurity->isChecked());
        QCOMPARE(Forms.step6->step.cmbxEncryption->currentIndex(), 1);
        QVERIFY(!Forms.step6->step.chbxPermitCopying->isChecked());
        QCOMPARE(Forms.step6->step.medtPassword1->text(), QString());
        QCOMPARE(Forms.imagePreview->pos(), QPoint(120, 80));
    }

    void invalidLayoutKeepsThePreviousPageValues()
    {
        // No layout has been computed, so it is not valid: page and label
        // values stay as stored, resolution and quality are written.
        BuildWizard(true);
        platform::MemoryKeyStore key;
        key.values = {{"PageWidth", "100"}, {"LabelFrames", "0"}, {"ColumnsPerPage", "4"}};
        LoadSettings(key);
        QVERIFY(!PDFCreator->LayoutValid());
        Forms.step4->step.spedtPageWidth->setValue(400);
        Forms.step5->step.spedtColumnsPerPage->setValue(9);
        Forms.step5->step.chbxLabelFrames->setChecked(true);
        Forms.step5->step.cmbxImageQuality->setCurrentIndex(2);
        QVERIFY(SaveSettings(key));
        QCOMPARE(key.values.value("PageWidth"), QStringLiteral("100"));
        QCOMPARE(key.values.value("ColumnsPerPage"), QStringLiteral("4"));
        QCOMPARE(key.values.value("LabelFrames"), QStringLiteral("0"));
        QVERIFY(!key.values.contains("PageHeight"));
        QVERIFY(!key.values.contains("NonKeyFrameLabel01"));
        QCOMPARE(key.values.value("ImageQuality"), QStringLiteral("2"));
        QCOMPARE(key.values.value("ImageResolution"), QStringLiteral("2"));
        QCOMPARE(key.values.value("EmbedFontSubset"), QStringLiteral("0"));
        QVERIFY(!key.values.contains("KeyFrameLabel01"));
    }

    void savedValuesAreTheTablesStrings()
    {
        BuildWizard(true);
        platform::MemoryKeyStore key;
        LoadSettings(key);
        QVERIFY(SaveSettings(key));
        const QStringList always{"ShowHints", "CaptureMethod", "ShowCaptions", "FrameFilterVal", "SelectedFrames",
                                 "ImageResolution", "ImageQuality", "EmbedFontSubset", "ViewFile", "Security",
                                 "Encryption", "ShowPassword", "PermitPrinting", "PermitChanging", "PermitCopying",
                                 "PreviewFormLeft", "PreviewFormTop", "SWFFileIndex", "InputFileIndex",
                                 "FileTitleIndex", "FileAuthorIndex", "FileSubjectIndex", "FileKeywordsIndex"};
        for (const QString &name : always)
            QVERIFY2(key.values.contains(name), qPrintable(name));
        QCOMPARE(key.values.value("ShowHints"), QStringLiteral("1"));
        QCOMPARE(key.values.value("FrameFilterVal"), QStringLiteral("10"));
        QCOMPARE(key.values.value("SWFFileIndex"), QStringLiteral("-1"));
    }

private:
    QTemporaryDir tmp;
};

QTEST_MAIN(SettingsTest)
#include "SettingsTest.moc"
