#include "WizardFixture.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

class NavigationTest : public QObject {
    Q_OBJECT
private slots:
    void init() { qputenv("TMPDIR", tmp.path().toUtf8()); }
    void cleanup() { TearDownWizard(); }

    void captionsAndButtons_data()
    {
        QTest::addColumn<bool>("swf");
        QTest::newRow("SWF mode") << true;
        QTest::newRow("FLA mode") << false;
    }
    void captionsAndButtons()
    {
        QFETCH(bool, swf);
        BuildWizard(swf);
        const int steps = swf ? 7 : 6;
        QCOMPARE(StepForms.size(), steps);
        for (int n = 1; n <= steps; ++n) {
            TBaseWizardForm *f = StepForms[n - 1];
            QVERIFY2(f, qPrintable(QString::number(n)));
            QCOMPARE(f->Tag(), n);
            QCOMPARE(f->windowTitle(), QStringLiteral("Tessory v1.0 - step %1 of %2").arg(n).arg(steps));
            QCOMPARE(f->bitbtnBack()->isEnabled(), n >= 2);
            // The capture and frame selection steps hold Next until there is something to go on with.
            const bool waitsForInput = swf ? (n == 2 || n == 3) : n == 2;
            QCOMPARE(f->bitbtnNext()->isEnabled(), n < steps && !waitsForInput);
            QCOMPARE(f->bitbtnBack()->text(), QStringLiteral("<  &Back"));
            QCOMPARE(f->bitbtnCreatePDF()->toolTip(), QStringLiteral("Create the PDF file"));
        }
        // The frame selection step is step 3 of 7 in SWF mode and 2 of 6 in FLA mode.
        QCOMPARE(qobject_cast<QWidget *>(StepForms[swf ? 2 : 1])->objectName(), QStringLiteral("TStep3Form"));
        QVERIFY(!StepForms[0]->bitbtnCreatePDF()->isEnabled());
        QVERIFY(!StepForms[steps - 1]->bitbtnCreatePDF()->isEnabled());
    }

    void nextAndBackShowOneStepAtATime()
    {
        BuildWizard(false);
        ShowWizardStep(StepForms[0]);
        StepForms[0]->bitbtnNext()->click();
        QVERIFY(StepForms[1]->isVisible());
        QVERIFY(!StepForms[0]->isVisible());
        QCOMPARE(CurrentWizardStep(), StepForms[1]);
        // Back from the frame selection step returns to the welcome step.
        StepForms[1]->bitbtnBack()->click();
        QVERIFY(StepForms[0]->isVisible());
        QVERIFY(!StepForms[1]->isVisible());
        const int visible = std::count_if(StepForms.begin(), StepForms.end(), [](auto *f) { return f->isVisible(); });
        QCOMPARE(visible, 1);
    }

    void stepsAreCentredOnTheMainFormWhenFirstShown()
    {
        BuildWizard(true);
        ShowWizardStep(StepForms[0]);
        StepForms[0]->move(40, 60);
        // Moved before its first show (as opening a movie resizes it).
        StepForms[1]->move(-500, -500);
        StepForms[0]->bitbtnNext()->click();
        QVERIFY(StepForms[1]->isVisible());
        const QPoint offset = StepForms[1]->frameGeometry().center() - StepForms[0]->frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
        // Later shows keep where the user left it.
        StepForms[1]->move(300, 200);
        StepForms[1]->bitbtnBack()->click();
        StepForms[0]->bitbtnNext()->click();
        QCOMPARE(StepForms[1]->pos(), QPoint(300, 200));
    }

    void keyboardNextLeavesThePointerAlone()
    {
        BuildWizard(true);
        ShowWizardStep(StepForms[3]);
        QVERIFY(QTest::qWaitForWindowExposed(StepForms[3]));
        const QPoint away(3, 3);
        QCursor::setPos(away);
        QTest::keyClick(StepForms[3]->bitbtnNext(), Qt::Key_Space);
        QVERIFY(StepForms[4]->isVisible());
        QCOMPARE(QCursor::pos(), away);
    }

    void mouseNextKeepsThePointerOnNext()
    {
        BuildWizard(true);
        TBaseWizardForm *from = StepForms[3], *to = StepForms[4];
        from->move(40, 40);
        to->move(300, 200);
        ShowWizardStep(from);
        QVERIFY(QTest::qWaitForWindowExposed(from));
        const QPoint offset(10, 7);
        QCursor::setPos(from->bitbtnNext()->mapToGlobal(offset));
        if (QApplication::widgetAt(QCursor::pos()) != from->bitbtnNext())
            QSKIP("this platform cannot tell the widget under the pointer");
        from->bitbtnNextClick();
        QCOMPARE(QCursor::pos(), to->bitbtnNext()->mapToGlobal(offset));
    }

    void escapeEndsTheProgram_data()
    {
        QTest::addColumn<int>("step");
        for (int s = 1; s <= 7; ++s)
            QTest::newRow(qPrintable(QString("step %1").arg(s))) << s;
    }
    void escapeEndsTheProgram()
    {
        QFETCH(int, step);
        BuildWizard(true);
        TBaseWizardForm *form = StepForms[step - 1];
        ShowWizardStep(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QTimer::singleShot(0, form, [form] { QTest::keyClick(form, Qt::Key_Escape); });
        // Only a guard against a wizard that does not end; slow under the sanitizers.
        QTimer::singleShot(30000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    void droppedMoviesGoToTheCaptureStep()
    {
        BuildWizard(true);
        QStringList offered;
        auto saved = OfferMovieToCaptureStep;
        OfferMovieToCaptureStep = [&](const QString &p, bool show) {
            offered << p + (show ? "|shown" : "|quiet");
            return true;
        };
        StepForms[4]->FilesDropped({"/m/first.swf", "/m/second.swf"});
        StepForms[4]->FilesDropped({});
        OfferMovieToCaptureStep = saved;
        QCOMPARE(offered, QStringList{"/m/first.swf|shown"});
        QVERIFY(StepForms[4]->acceptDrops());
    }

    void flaModeRefusesDrops()
    {
        BuildWizard(false);
        bool offered = false;
        auto saved = OfferMovieToCaptureStep;
        OfferMovieToCaptureStep = [&](const QString &, bool) { return offered = true; };
        for (auto *f : StepForms) {
            QVERIFY(!f->acceptDrops());
            f->FilesDropped({"/m/first.swf"});
        }
        OfferMovieToCaptureStep = saved;
        QVERIFY(!offered);
    }

    void aDroppedTextFileChangesNothing()
    {
        BuildWizard(true);
        QTemporaryDir dir;
        const QString text = dir.path() + "/notes.txt";
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        ShowWizardStep(StepForms[3]);
        StepForms[3]->FilesDropped({text});
        QCOMPARE(CurrentWizardStep(), StepForms[3]);
        QVERIFY(MovieFileName.isEmpty());
    }

    void history_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("chosen");
        QTest::newRow("same text in other case moves up")
            << QStringList{"Report", "a", "b"} << "report" << QStringList{"report", "a", "b"} << 0;
        QTest::newRow("existing entry moves to the top")
            << QStringList{"a", "b", "c"} << "c" << QStringList{"c", "a", "b"} << 0;
        QTest::newRow("blank first entry stays first")
            << QStringList{"", "x"} << "report" << QStringList{"", "report", "x"} << 1;
        QTest::newRow("full list drops the oldest")
            << QStringList{"1", "2", "3", "4", "5", "6", "7", "8"} << "new"
            << QStringList{"new", "1", "2", "3", "4", "5", "6", "7"} << 0;
        QTest::newRow("full list with a blank first")
            << QStringList{"", "2", "3", "4", "5", "6", "7", "8"} << "new"
            << QStringList{"", "new", "2", "3", "4", "5", "6", "7"} << 1;
        QTest::newRow("empty text changes nothing") << QStringList{"a"} << "" << QStringList{"a"} << -1;
    }
    void history()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, text);
        QFETCH(QStringList, after);
        QFETCH(int, chosen);
        QComboBox combo;
        combo.addItems(before);
        combo.setCurrentIndex(-1);
        AddToHistory(&combo, text);
        QStringList items;
        for (int i = 0; i < combo.count(); ++i)
            items << combo.itemText(i);
        QCOMPARE(items, after);
        QCOMPARE(combo.currentIndex(), chosen);
    }

    void hintsSwitchForTheWholeApplication()
    {
        BuildWizard(true);
        Forms.step1->chbxShowHints()->click();
        QVERIFY(!HintsEnabled());
        Forms.step1->chbxShowHints()->click();
        QVERIFY(HintsEnabled());
    }

private:
    QTemporaryDir tmp;
};

QTEST_MAIN(NavigationTest)
#include "NavigationTest.moc"
