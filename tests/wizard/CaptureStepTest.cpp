// The capture step as a user drives it: a movie opened, frames captured by
// File Frames or Screen, Cancel, another movie or closing mid-capture.
#include "core/Global.h"
#include "platform/JpegImage.h"
#include "support/TestMovies.h"
#include "wizard/Step2Frm.h"
#include "wizard/Step3Frm.h"
#include "wizard/WizardForms.h"

#include <QDir>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) < 10 && std::abs(qGreen(a) - qGreen(b)) < 10 &&
           std::abs(qBlue(a) - qBlue(b)) < 10;
}

} // namespace

class CaptureStepTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_errors;
    ErrorSink m_previousSink;
    QString m_movie;
    QString m_other;

    QStringList pictures() const
    {
        return QDir(m_dir.path()).entryList({"VELUMOR*.jpg"}, QDir::Files, QDir::Name);
    }

    // A fresh model and the two steps, the capture step showing the movie.
    struct Steps {
        TStep2Form capture;
        TStep3Form frames;
        Steps()
        {
            Forms.step2 = &capture;
            Forms.step3 = &frames;
        }
        ~Steps() { Forms.step2 = nullptr, Forms.step3 = nullptr; }
    };
    std::unique_ptr<Steps> open(bool screen = false)
    {
        IsSWFMode = true;
        StepForms.clear();
        Scenes = {TSceneInfo()};
        auto steps = std::make_unique<Steps>();
        if (screen) {
            steps->capture.step.cmbxCaptureMethod->setCurrentIndex(TStep2Form::cmScreen);
            steps->capture.cmbxCaptureMethodChange();
        }
        ShowWizardStep(&steps->capture);
        if (!steps->capture.OpenSwfFile(m_movie, false))
            qWarning() << steps->capture.OpenSwfFileError();
        return steps;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        TempImageBase = m_dir.filePath("VELUMOR");
        m_movie = m_dir.filePath("colours.swf");
        m_other = m_dir.filePath("other.swf");
        QVERIFY(swftest::colourFramesMovie(8, 550, 400).save(m_movie));
        QVERIFY(swftest::colourFramesMovie(2, 40, 30).save(m_other));
        m_previousSink = SetErrorSink([this](const QString &text) { m_errors << text; });
    }
    void cleanupTestCase() { SetErrorSink(m_previousSink); }
    void init()
    {
        m_errors.clear();
        DeleteTempImages();
    }

    void fileFramesCaptureTheRangeAndMoveOn()
    {
        const auto steps = open();
        TStep2Form &form = steps->capture;
        QVERIFY(!form.bitbtnCreatePDF()->isEnabled()); // nothing to write before Next
        form.step.spedtStartFrame->setValue(5);
        form.step.spedtEndFrame->setValue(7);
        form.bitbtnNext()->click();

        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QCOMPARE(pictures(), (QStringList{"VELUMOR0004.jpg", "VELUMOR0005.jpg", "VELUMOR0006.jpg"}));
        for (int n = 4; n <= 6; ++n) {
            const QImage picture = platform::readJpegFile(FrameImageFileName(n));
            QCOMPARE(picture.size(), QSize(1146, 833));
            QVERIFY2(near(picture.pixel(573, 416), swftest::frameColour(n)), qPrintable(QString::number(n)));
        }
        QCOMPARE(Scenes[0].FirstFrame, 4);
        QCOMPARE(Scenes[0].FrameCount, 3);
        QCOMPARE(Scenes[0].FrameLabels, QStringList(3));
        // On to the frame selection, which shows the captured pictures.
        QCOMPARE(CurrentWizardStep(), static_cast<QWidget *>(&steps->frames));
        // (One frame from every ten: the last one.)
        QCOMPARE(steps->frames.ShownFrames().size(), 1);
        QCOMPARE(steps->frames.ShownFrames().first().FileName, FrameImageFileName(6));
        // The step is usable again.
        QVERIFY(form.bitbtnBack()->isEnabled());
        QVERIFY(form.step.spedtStartFrame->isEnabled());
        QVERIFY(form.step.bitbtnCancel->isHidden());
        QVERIFY(form.step.lblCapturingFrames->isHidden());
        QVERIFY(!form.Capturing());

        // Capturing again replaces the earlier pictures.
        ShowWizardStep(&form);
        form.step.spedtStartFrame->setValue(1);
        form.step.spedtEndFrame->setValue(2);
        form.bitbtnNext()->click();
        QCOMPARE(pictures(), (QStringList{"VELUMOR0000.jpg", "VELUMOR0001.jpg"}));
    }

    void startAfterEndIsRefused()
    {
        const auto steps = open();
        TStep2Form &form = steps->capture;
        form.step.spedtStartFrame->setValue(6);
        form.step.spedtEndFrame->setValue(2);
        form.bitbtnNext()->click();
        QCOMPARE(m_errors, QStringList{"The value of the start frame is larger than the value of the end frame"});
        QVERIFY(pictures().isEmpty());
        QCOMPARE(CurrentWizardStep(), static_cast<QWidget *>(&form));
    }

    // What the user does while the frames are captured: the capture stops
    // after the frame in hand, keeping what it has; only Cancel moves on.
    void interruptedCapture_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("movesOn");
        QTest::newRow("Cancel") << "cancel" << true;
        QTest::newRow("another movie opened") << "open" << false;
        QTest::newRow("wizard closed") << "close" << false;
    }
    void interruptedCapture()
    {
        QFETCH(QString, action);
        QFETCH(bool, movesOn);
        const auto steps = open();
        TStep2Form &form = steps->capture;
        bool capturingSeen = false;
        QTimer::singleShot(0, &form, [&] {
            capturingSeen = form.Capturing() && !form.step.bitbtnCancel->isHidden() && !form.bitbtnNext()->isEnabled();
            if (action == "cancel")
                form.step.bitbtnCancel->click();
            else if (action == "open")
                QVERIFY(form.OpenSwfFile(m_other, false));
            else
                form.close();
        });
        form.bitbtnNext()->click();

        QVERIFY(capturingSeen);
        const int captured = Scenes[0].FrameCount;
        QVERIFY2(captured >= 1 && captured < 8, qPrintable(QString::number(captured)));
        QCOMPARE(pictures().size(), captured);
        QCOMPARE(Scenes[0].FrameLabels.size(), captured);
        QVERIFY(!form.Capturing());
        QVERIFY(form.step.bitbtnCancel->isHidden());
        QCOMPARE(CurrentWizardStep() == &steps->frames, movesOn);
        if (action == "open") {
            // The movie opens once the capture has let go of the step.
            QTRY_COMPARE(MovieFileName, m_other);
            QCOMPARE(form.step.Shock->TotalFrames(), 2);
            QCOMPARE(form.step.lblEndFrame->text(), QString("2"));
        }
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
    }

    void screenCaptureNumbersThePlayersRepaints()
    {
        const auto steps = open(true);
        TStep2Form &form = steps->capture;
        QVERIFY(form.step.btnPlay->isEnabled());
        QVERIFY(!form.bitbtnNext()->isEnabled());
        form.step.btnPlay->click();
        QVERIFY(form.Capturing());
        QVERIFY(!form.step.btnPlay->isEnabled() && !form.step.btnEject->isEnabled());
        QVERIFY(form.step.btnStop->isEnabled());
        QVERIFY(!form.bitbtnBack()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(Scenes[0].FrameCount >= 4, 10000);
        form.step.btnStop->click();

        const int captured = Scenes[0].FrameCount;
        QCOMPARE(Scenes[0].FirstFrame, 0);
        QStringList want;
        for (int i = 0; i < captured; ++i)
            want << QFileInfo(FrameImageFileName(i)).fileName();
        QCOMPARE(pictures(), want);
        // The movie played: the pictures show more than one of its frames.
        QSet<QRgb> colours;
        for (int i = 0; i < captured; ++i) {
            const QImage picture = platform::readJpegFile(FrameImageFileName(i));
            QCOMPARE(picture.size(), QSize(1146, 833));
            colours << (picture.pixel(573, 416) & 0xF0F0F0);
        }
        QVERIFY(colours.size() >= 2);
        QVERIFY(!form.step.Shock->IsPlaying());
        QCOMPARE(CurrentWizardStep(), static_cast<QWidget *>(&steps->frames));
        QVERIFY(!steps->frames.ShownFrames().isEmpty());
        QVERIFY(form.step.btnPlay->isEnabled());
    }
};

QTEST_MAIN(CaptureStepTest)
#include "CaptureStepTest.moc"
