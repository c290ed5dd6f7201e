// Every caption of every window fits its control at the default font, and
// no two controls side by side cover each other.
#include "wizard/WizardFixture.h"

#include "sheet/PagePreviewFrm.h"
#include "wizard/FrameLabelPatternEditorFrm.h"
#include "wizard/ImagePreviewFrm.h"
#include "wizard/ProgressFrm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QRadioButton>
#include <QSet>
#include <QStyle>
#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>

namespace {

QString nameOf(const QWidget *w)
{
    return QStringLiteral("%1.%2").arg(w->window()->objectName(), w->objectName());
}

// Controls whose caption is their size: a clipped one loses words.
bool holdsCaption(const QWidget *w)
{
    if (const auto *label = qobject_cast<const QLabel *>(w))
        return !label->wordWrap() && !label->text().isEmpty() && label->pixmap().isNull();
    if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        return !button->text().isEmpty();
    return qobject_cast<const QComboBox *>(w) && !static_cast<const QComboBox *>(w)->isEditable();
}

bool isControl(const QWidget *w)
{
    return holdsCaption(w) || qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QComboBox *>(w);
}

// The room the caption needs. Push and tool buttons: their text and the
// style's margins (their hints add a minimum width that clips nothing).
QSize needed(const QWidget *w)
{
    const auto *button = qobject_cast<const QAbstractButton *>(w);
    if (!button || qobject_cast<const QCheckBox *>(w) || qobject_cast<const QRadioButton *>(w))
        return QSize(w->sizeHint().width(), w->fontMetrics().height());
    QString text = button->text();
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    const int margin = w->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w);
    return QSize(w->fontMetrics().horizontalAdvance(text) + margin, w->fontMetrics().height());
}

// Where a control draws: a label only as far as its text reaches.
QRect inkRect(const QWidget *w)
{
    const auto *label = qobject_cast<const QLabel *>(w);
    if (!label || label->alignment() & (Qt::AlignRight | Qt::AlignHCenter))
        return w->geometry();
    return QRect(w->pos(), QSize(std::min(w->width(), needed(w).width()), w->height()));
}

QList<QWidget *> windows()
{
    QList<QWidget *> all;
    for (QWidget *step : StepForms)
        if (step)
            all << step;
    all << Forms.progress << Forms.imagePreview << Forms.pagePreview << Forms.patternEditor;
    all.removeAll(nullptr);
    return all;
}

// Shows every control a step can show, as its hidden ones appear in use.
void showEverything(QWidget *window)
{
    for (QWidget *w : window->findChildren<QWidget *>())
        if (isControl(w))
            w->setVisible(true);
}

} // namespace

class CaptionsFitTest : public QObject {
    Q_OBJECT

private slots:
    void everyCaptionFits_data()
    {
        QTest::addColumn<bool>("swf");
        QTest::newRow("SWF mode") << true;
        QTest::newRow("FLA mode") << false;
    }
    void everyCaptionFits()
    {
        QFETCH(bool, swf);
        BuildWizard(swf);
        QStringList clipped;
        QStringList covered;
        for (QWidget *window : windows()) {
            // Controls that take turns in one place are not covered: only
            // what shows at first is checked for that.
            QSet<QWidget *> shownFirst;
            for (QWidget *w : window->findChildren<QWidget *>())
                if (w->isVisibleTo(window))
                    shownFirst << w;
            showEverything(window);
            // Laid out as on screen: groups place their items when shown.
            window->show();
            QCoreApplication::processEvents();
            const QList<QWidget *> children = window->findChildren<QWidget *>();
            QList<QWidget *> own;
            for (QWidget *w : children)
                if (!qobject_cast<QFileDialog *>(w->window()) && !w->parentWidget()->inherits("QFileDialog"))
                    own << w;
            for (QWidget *w : own) {
                if (!holdsCaption(w))
                    continue;
                // Inside its parent, or the parent cuts it off.
                const QRect ink = inkRect(w);
                if (!w->parentWidget()->rect().contains(QRect(ink.topLeft(), QSize(needed(w).width(), ink.height()))))
                    clipped << QStringLiteral("%1 reaches out of its parent").arg(nameOf(w));
                const QSize hint = needed(w);
                if (hint.width() > w->width() || hint.height() > w->height() + 1)
                    clipped << QStringLiteral("%1 needs %2 x %3, has %4 x %5")
                                   .arg(nameOf(w))
                                   .arg(hint.width())
                                   .arg(hint.height())
                                   .arg(w->width())
                                   .arg(w->height());
            }
            for (int i = 0; i < own.size(); ++i)
                for (int j = i + 1; j < own.size(); ++j) {
                    QWidget *a = own[i];
                    QWidget *b = own[j];
                    if (a->parentWidget() != b->parentWidget() || !isControl(a) || !isControl(b) ||
                        !shownFirst.contains(a) || !shownFirst.contains(b))
                        continue;
                    if (inkRect(a).intersects(inkRect(b)))
                        covered << QStringLiteral("%1 and %2").arg(nameOf(a), nameOf(b));
                }
        }
        for (QWidget *window : windows())
            window->hide();
        TearDownWizard();
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));
        QVERIFY2(covered.isEmpty(), qPrintable(covered.join('\n')));
    }
};

QTEST_MAIN(CaptionsFitTest)
#include "CaptionsFitTest.moc"
