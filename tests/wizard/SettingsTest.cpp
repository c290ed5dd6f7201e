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
#include "wizard/WizardSheet.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
// Every sheet setting the settings file keeps, one per line, so that a
// difference shows which.
QString Persisted(const TSheetSettings &s)
{
    QStringList l;
    const auto add = [&l](const char *name, const QVariant &v) { l << QString("%1=%2").arg(name, v.toString()); };
    add("PageWidth", s.PageWidth);
    add("PageHeight", s.PageHeight);
    add("Orientation", int(s.Orientation));
    add("OrientationTag", int(s.OrientationTag));
    add("Margins", QString("%1 %2 %3 %4").arg(s.LeftMargin).arg(s.TopMargin).arg(s.RightMargin).arg(s.BottomMargin));
    add("CenterPageContents", s.CenterPageContents);
    add("Spaces", QString("%1 %2").arg(s.ImageSpace).arg(s.TextSpace));
    add("Resolution", s.Resolution);
    add("Quality", s.Quality);
    add("LabelFrames", s.LabelFrames);
    add("NonKeyFrameLabel", s.NonKeyFrameLabel);
    add("KeyFrameLabel", s.KeyFrameLabel);
    add("Font", QString("%1 %2 %3%4%5%6").arg(s.LabelFont.family()).arg(s.LabelFont.pointSize())
                    .arg(s.LabelFont.bold()).arg(s.LabelFont.italic()).arg(s.LabelFont.underline())
                    .arg(s.LabelFont.strikeOut()));
    add("LabelColor", s.LabelColor);
    add("EmbedFontSubset", s.EmbedFontSubset);
    add("Grid", QString("%1 %2x%3").arg(s.SetFramesPerPage).arg(s.Columns).arg(s.Rows));
    add("FrontFile", s.FrontFile);
    add("Info", QStringList{s.Title, s.Author, s.Subject, s.Keywords}.join('|'));
    add("Security", QString("%1 %2 %3%4%5").arg(s.Security).arg(s.Encryption128).arg(s.PermitPrinting)
                        .arg(s.PermitChanging).arg(s.PermitCopying));
    add("ViewFile", s.ViewFile);
    return l.join('\n');
}

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

    void everySheetSettingComesBackToTheWizardAndToTools_data()
    {
        QTest::addColumn<bool>("swf");
        QTest::newRow("SWF mode") << true;
        QTest::newRow("FLA mode") << false;
    }
    void everySheetSettingComesBackToTheWizardAndToTools()
    {
        // Every value off its default, with a valid layout, so that the
        // values saved only then are saved too.
        QFETCH(bool, swf);
        BuildWizard(swf);
        platform::MemoryKeyStore defaults;
        LoadSettings(defaults);
        auto &p = Forms.step4->step;
        p.cmbxPageSize->setCurrentIndex(p.cmbxPageSize->findText("A3"));
        p.spedtPageWidth->setValue(297);
        p.spedtPageHeight->setValue(420);
        p.rgOrientation->SetItemIndex(0);
        p.rgOrientation->SetTag(1);
        p.spedtPageLeftMargin->setValue(7);
        p.spedtPageTopMargin->setValue(8);
        p.spedtPageRightMargin->setValue(9);
        p.spedtPageBottomMargin->setValue(11);
        p.chbxCenterPageContents->setChecked(false);
        p.spedtImageSpace->setValue(3);
        p.spedtTextSpace->setValue(4);
        auto &l = Forms.step5->step;
        l.cmbxImageResolution->setCurrentText("150");
        l.cmbxImageQuality->setCurrentText("40");
        AddToHistory(l.cmbxNonKeyFrameLabel, "<N> of <F>");
        AddToHistory(l.cmbxKeyFrameLabel, "<N> key");
        TFontDialog *font = Forms.step5->fntdlgImageLabelsFont;
        font->Font = QFont("DejaVu Sans", 9);
        font->Font.setBold(true);
        font->Font.setUnderline(true);
        font->Color = 0x123456;
        l.chbxEmbedFontSubset->setChecked(true);
        l.chbxSetFramesPerPage->setChecked(true);
        l.spedtColumnsPerPage->setValue(3);
        l.spedtRowsPerPage->setValue(2);
        auto &o = Forms.step6->step;
        // (The front file is left: a reload always chooses its first entry, "none".)
        AddToHistory(o.cmbxFileTitle, "Walk");
        AddToHistory(o.cmbxFileAuthor, "Ann");
        AddToHistory(o.cmbxFileSubject, "Board");
        AddToHistory(o.cmbxFileKeywords, "walk, cycle");
        o.chbxSecurity->setChecked(true);
        o.cmbxEncryption->setCurrentIndex(1);
        o.chbxPermitPrinting->setChecked(false);
        o.chbxPermitCopying->setChecked(false);
        o.chbxViewFile->setChecked(false);
        MovieWidth = 550;
        MovieHeight = 400;
        TFrameArr frames(6);
        FrameSelection->SetFrames(frames);
        QVERIFY(PDFCreator->CalculateLayout(TSheetSetting::None));
        const QString before = Persisted(WizardSheetSettings());
        QVERIFY(before != Persisted(TSheetSettings()));

        platform::MemoryKeyStore key;
        QVERIFY(SaveSettings(key));
        QStringList warnings;
        TSheetSettings read = ReadSheetSettings(TRegistry(key), swf, &warnings);
        if (swf)
            read.KeyFrameLabel = WizardSheetSettings().KeyFrameLabel; // not kept in SWF mode
        QCOMPARE(Persisted(read).split('\n'), before.split('\n'));
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));

        TearDownWizard();
        BuildWizard(swf);
        LoadSettings(key);
        TSheetSettings loaded = WizardSheetSettings();
        if (swf)
            loaded.KeyFrameLabel = read.KeyFrameLabel;
        QCOMPARE(Persisted(loaded).split('\n'), before.split('\n'));
    }

    void absurdValuesFallBackOneByOneWithAWarning()
    {
        platform::MemoryKeyStore key;
        key.values = {{"PageWidth", "-5"}, {"ColumnsPerPage", "100000"}, {"RowsPerPage", "3"},
                      {"PageTopMargin", "garbage"}, {"ImageQuality", "42"}, {"PageLeftMargin", "12"}};
        QStringList warnings;
        const TSheetSettings s = ReadSheetSettings(TRegistry(key), true, &warnings);
        const TSheetSettings d;
        QCOMPARE(s.PageWidth, d.PageWidth);
        QCOMPARE(s.Columns, d.Columns);
        QCOMPARE(s.TopMargin, d.TopMargin);
        QCOMPARE(s.Quality, d.Quality);
        QCOMPARE(s.Rows, 3);
        QCOMPARE(s.LeftMargin, 12);
        QCOMPARE(warnings.size(), 4);
        QVERIFY2(warnings.join(' ').contains("ColumnsPerPage of \"100000\""), qPrintable(warnings.join('\n')));
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
