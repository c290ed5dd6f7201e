// Writing the contact sheet from the wizard's own forms: the output step's
// Next, the Create PDF button of another step, the page preview and the size
// estimate, with the real engine library.
#include "WizardFixture.h"

#include "pdfengine/WPPDFR1.h"
#include "platform/JpegImage.h"
#include "sheet/LabelPatterns.h"
#include "sheet/PagePreviewFrm.h"
#include "platform/KeyStore.h"
#include "wizard/ProgressFrm.h"
#include "wizard/Settings.h"
#include "wizard/Step5Frm.h"
#include "wizard/Step6Frm.h"
#include "wizard/Step4Frm.h"
#include "wizard/Step7Frm.h"
#include "wizard/WizardSheet.h"


#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QPixmap>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QApplication>

class CreateSheetTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        SetEngineLibraryPath(qEnvironmentVariable("TESSORY_BIN", TESSORY_BIN_DIR) + QStringLiteral("/wPDF200A.so"));
        errors.clear();
        previousSink = SetErrorSink([this](const QString &text) { errors << text; });
        BuildWizard(true);
        MovieWidth = 200;
        MovieHeight = 150;
        TFrameArr frames;
        for (int i = 0; i < 6; ++i) {
            QImage picture(417, 313, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv(i * 60, 255, 200));
            TFrame frame;
            frame.FrameIndex = i;
            frame.FileName = dir.filePath(QStringLiteral("frame%1.jpg").arg(i));
            QFile file(frame.FileName);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(platform::encodeJpeg(picture, 90));
            frames << frame;
        }
        Scenes[0].FrameCount = 6;
        Scenes[0].FrameLabels = QStringList(6, QString());
        platform::MemoryKeyStore defaults;
        LoadSettings(defaults);
        FrameSelection->SetFrames(frames);
        // As the frame selection step's Next does.
        QVERIFY(PDFCreator->CalculateLayout(TSheetSetting::None));
        QFile::remove(dir.filePath(QStringLiteral("walk.pdf")));
        Forms.step6->SetPdfFileName(dir.filePath(QStringLiteral("walk.pdf")));
        Forms.step6->step.chbxViewFile->setChecked(false);
    }
    void cleanup()
    {
        TearDownWizard();
        SetErrorSink(previousSink);
        SetEngineLibraryPath(QString());
    }

    void nextOnTheOutputStepWritesTheSheetAndMovesOn()
    {
        ShowWizardStep(Forms.step5);
        QVERIFY(PDFCreator->LayoutValid());
        ShowWizardStep(Forms.step6);
        QString caption;
        bool behindDisabled = false;
        // The progress window shows while the pages are written.
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (Forms.progress->isVisible()) {
                caption = Forms.progress->windowTitle();
                behindDisabled = !Forms.step6->isEnabled();
            }
        });
        probe.start(0);
        Forms.step6->bitbtnNext()->click();
        probe.stop();

        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("walk.pdf"))));
        QCOMPARE(CurrentWizardStep(), static_cast<QWidget *>(Forms.step7));
        QCOMPARE(caption, QStringLiteral("Creating PDF File"));
        QVERIFY(behindDisabled);
        QVERIFY(!Forms.progress->isVisible());
        QVERIFY(Forms.step6->isEnabled());
    }

    void aSheetNoViewerCanOpenIsWrittenAndSaysSo()
    {
        // The offscreen platform opens nothing.
        Forms.step6->step.chbxViewFile->setChecked(true);
        ShowWizardStep(Forms.step6);
        Forms.step6->bitbtnNext()->click();
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("walk.pdf"))));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(QStringLiteral("no program to view it")), qPrintable(errors[0]));
        QCOMPARE(CurrentWizardStep(), static_cast<QWidget *>(Forms.step7));
    }

    void createPdfElsewhereShowsTheOutputStepOnMismatchedPasswords()
    {
        ShowWizardStep(Forms.step5);
        Forms.step6->step.chbxSecurity->setChecked(true);
        Forms.step6->step.medtPassword1->setText(QStringLiteral("one"));
        Forms.step6->step.medtPassword2->setText(QStringLiteral("two"));
        QVERIFY(Forms.step6->step.medtPassword2->isVisibleTo(Forms.step6));
        Forms.step5->bitbtnCreatePDF()->click();
        QCOMPARE(errors, QStringList{QStringLiteral("The passwords do not match.")});
        QCOMPARE(CurrentWizardStep(), static_cast<QWidget *>(Forms.step6));
        QCOMPARE(Forms.step6->focusWidget(), static_cast<QWidget *>(Forms.step6->step.medtPassword2));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("walk.pdf"))));
    }

    void aBrokenLayoutShowsTheStepOfItsSettingWithTheControlFocused()
    {
        ShowWizardStep(Forms.step5);
        QSpinBox *margin = Forms.step4->step.spedtPageLeftMargin;
        const QStringList tooLarge{QStringLiteral("The left page margin is too large.\nSet smaller left page margin.")};
        // The change itself runs the layout through the preview and says so.
        margin->setValue(300);
        QCOMPARE(errors, tooLarge);
        QVERIFY(Forms.pagePreview->findChild<QSlider *>()->isHidden());
        errors.clear();
        ShowWizardStep(Forms.step5);
        QVERIFY(!PDFCreator->CalculateLayout(SettingOfControl(margin)));
        QCOMPARE(errors, tooLarge);
        QCOMPARE(CurrentWizardStep(), static_cast<QWidget *>(Forms.step4));
        QCOMPARE(Forms.step4->focusWidget(), static_cast<QWidget *>(margin));
        QCOMPARE(margin->findChild<QLineEdit *>()->selectedText(), QStringLiteral("300"));

        // Labels that do not fit: the labels' group takes the focus.
        margin->setValue(10);
        errors.clear();
        QVERIFY(PDFCreator->CalculateLayout(TSheetSetting::None));
        Forms.step5->step.chbxLabelFrames->setChecked(true);
        FrameSelection->LabelWidth = 100000;
        QVERIFY(!PDFCreator->CalculateLayout(TSheetSetting::LabelFrames));
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].startsWith(QStringLiteral("The font of the frame labels is too large")));
        QCOMPARE(CurrentWizardStep(), static_cast<QWidget *>(Forms.step5));
        QCOMPARE(Forms.step5->focusWidget(), static_cast<QWidget *>(Forms.step5->step.grbxLabelFrames));
    }

    void previewAndEstimateFollowTheLayoutStep()
    {
        ShowWizardStep(Forms.step5);
        TPagePreviewForm *preview = Forms.pagePreview;
        QVERIFY(preview->isVisible());
        Forms.step5->step.chbxSetFramesPerPage->setChecked(true);
        Forms.step5->step.spedtColumnsPerPage->setValue(2);
        Forms.step5->step.spedtRowsPerPage->setValue(2);
        QCOMPARE(preview->lblEndPage()->text(), QStringLiteral("2"));
        preview->trbarPreviewPage()->setValue(2);
        QCOMPARE(preview->lblCurPage()->text(), QStringLiteral("Page 2"));
        const QImage page = preview->imgPreview()->pixmap().toImage();
        QCOMPARE(page.size(), QSize(192, 192));
        // The second page's top left cell holds frame 5 (hue 240: blue).
        const TBox &cell = PDFCreator->PictureBoxes()[0][0];
        const double scale = std::min(190.0 / PDFCreator->PageHeight(), 190.0 / PDFCreator->PageWidth());
        const int x = (192 - int(std::lround(PDFCreator->PageWidth() * scale))) / 2;
        const int y = (192 - int(std::lround(PDFCreator->PageHeight() * scale))) / 2;
        const QRgb centre = page.pixel(x + int((cell.Left + cell.Right) / 2 * scale),
                                       y + int((cell.Top + cell.Bottom) / 2 * scale));
        QVERIFY2(qBlue(centre) > 150 && qRed(centre) < 60, qPrintable(QString::number(centre, 16)));

        // The one preview moves with the steps; page setup changes redraw it.
        ShowWizardStep(Forms.step4);
        QCOMPARE(preview->parentWidget(), static_cast<QWidget *>(Forms.step4->step.pnlPagePreview));
        QVERIFY(preview->isVisible());
        const QImage before = preview->imgPreview()->pixmap().toImage();
        Forms.step4->step.spedtPageLeftMargin->setValue(60);
        QVERIFY(preview->imgPreview()->pixmap().toImage() != before);
        Forms.step4->step.spedtPageLeftMargin->setValue(10);
        QCOMPARE(preview->imgPreview()->pixmap().toImage(), before);
        ShowWizardStep(Forms.step5);
        QCOMPARE(preview->parentWidget(), static_cast<QWidget *>(Forms.step5->step.pnlPagePreview));

        Forms.step5->PDFFileSizeChange();
        const QString estimate = Forms.step5->step.lblPDFFileSize->text();
        const auto match = QRegularExpression(QStringLiteral("^(\\d+) KB$")).match(estimate);
        QVERIFY2(match.hasMatch(), qPrintable(estimate));
        // Six small pictures and two pages: the fixed overhead and a little more.
        QVERIFY(match.captured(1).toInt() >= 19);
        QVERIFY(match.captured(1).toInt() < 200);
    }

private:
    QTemporaryDir dir;
    QStringList errors;
    ErrorSink previousSink;
};

QTEST_MAIN(CreateSheetTest)
#include "CreateSheetTest.moc"
