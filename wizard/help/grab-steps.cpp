// Pictures of the wizard's steps for the user guide, taken from the real
// windows on the offscreen platform: grab-steps MOVIE.swf OUT-DIR.
#include "wizard/Step2Frm.h"
#include "wizard/Step3Frm.h"
#include "wizard/Step4Frm.h"
#include "wizard/Step5Frm.h"
#include "wizard/Step6Frm.h"
#include "wizard/Step7Frm.h"
// The wizard as the widget tests build it: every window, no other copies.
#include "wizard/WizardFixture.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

bool grab(QWidget *step, const QString &file)
{
    ShowWizardStep(step);
    // Thumbnails are decoded as they come into view.
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QTest::qWait(10);
    }
    if (step->grab().save(file))
        return true;
    std::fprintf(stderr, "grab-steps: cannot write %s\n", qPrintable(file));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fputs("usage: grab-steps MOVIE.swf OUT-DIR\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The builder's own wizard settings stay out of the pictures.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    const QString movie = QFile::decodeName(argv[1]);
    const QDir out(QFile::decodeName(argv[2]));
    if (!QDir().mkpath(out.path()))
        return 1;

    QStringList errors;
    SetErrorSink([&](const QString &text) { errors << text; });
    BuildWizard(true);
    AppTitle = QStringLiteral("Tessory");
    QTemporaryDir pictures;
    TempImageBase = pictures.filePath(QStringLiteral("VELUMOR"));

    bool ok = grab(Forms.step1, out.filePath(QStringLiteral("step1.png")));
    if (!Forms.step2->OpenSwfFile(movie, false)) {
        std::fprintf(stderr, "grab-steps: %s\n", qPrintable(Forms.step2->OpenSwfFileError()));
        return 1;
    }
    // The first scene only: enough frames for the guide, captured in a moment.
    Forms.step2->step.spedtStartFrame->setValue(1);
    Forms.step2->step.spedtEndFrame->setValue(48);
    ok = grab(Forms.step2, out.filePath(QStringLiteral("step2.png"))) && ok;
    Forms.step2->bitbtnNext()->click(); // captures the frames, then shows the frame selection
    if (!errors.isEmpty() || CurrentWizardStep() != Forms.step3) {
        std::fprintf(stderr, "grab-steps: the capture did not reach the frame selection: %s\n",
                     qPrintable(errors.join(u' ')));
        return 1;
    }
    Forms.step3->step.spnedtFrameFilterVal->setValue(4);
    Forms.step3->bitbtnApplyFrameFilterValClick();
    Forms.step3->bitbtnSelectAllClick();
    const QList<QWidget *> steps = {Forms.step3, Forms.step4, Forms.step5, Forms.step6, Forms.step7};
    for (int i = 0; i < steps.size(); ++i)
        ok = grab(steps[i], out.filePath(QStringLiteral("step%1.png").arg(i + 3))) && ok;

    DeleteTempImages();
    TearDownWizard();
    return ok ? 0 : 1;
}
