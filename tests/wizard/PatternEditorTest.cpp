// Editing a label pattern: flags shown in bold red, the flag at the caret,
// Insert and Delete. Each case is compared as one line that names it.
#include "wizard/FrameLabelPatternEditorFrm.h"

#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

namespace {
// '^' under every character drawn bold red, '?' under any other look, from
// the document's own formats with the highlighting laid over them.
QString looks(const QTextEdit *edit)
{
    QString marks;
    QTextCursor at(edit->document());
    const QList<QTextLayout::FormatRange> ranges = edit->document()->firstBlock().layout()->formats();
    while (at.movePosition(QTextCursor::NextCharacter)) {
        QTextCharFormat f = at.charFormat();
        for (const QTextLayout::FormatRange &range : ranges)
            if (at.position() > range.start && at.position() <= range.start + range.length)
                f.merge(range.format);
        const bool bold = f.fontWeight() == QFont::Bold, red = f.foreground().color() == Qt::red;
        marks += bold && red ? u'^' : bold || f.hasProperty(QTextFormat::ForegroundBrush) ? u'?' : u' ';
    }
    return marks;
}

// Shown, with the caret walked from the start by the arrow keys, selecting
// from anchor on.
struct TEditor {
    TFrameLabelPatternEditorForm form;
    Ui::TFrameLabelPatternEditorForm &ui = form.ui;
    explicit TEditor(const QString &text, int caret = 0, int anchor = -1)
    {
        form.SetPatternText(text);
        form.show();
        anchor = anchor < 0 ? caret : anchor;
        for (int i = 0; i < anchor; ++i)
            QTest::keyClick(ui.rchedtPattern, Qt::Key_Right);
        for (int i = anchor; i != caret; i += caret > anchor ? 1 : -1)
            QTest::keyClick(ui.rchedtPattern, caret > anchor ? Qt::Key_Right : Qt::Key_Left, Qt::ShiftModifier);
    }
    // The text with "|" at the caret.
    QString withCaret() const { return form.PatternText().insert(ui.rchedtPattern->textCursor().position(), u'|'); }
    void pick(int row) { ui.lstvwFlags->setCurrentItem(ui.lstvwFlags->topLevelItem(row)); }
};
} // namespace

class PatternEditorTest : public QObject {
    Q_OBJECT
private slots:
    void highlighting()
    {
        const struct { QString text, marks; } cases[] = {
            {"Frame <n>", "      ^^^"}, {"<X> <F >", ""}, {"<<N>", " ^^^"}, {"<NS><st> <F>", "^^^^^^^^ ^^^"},
            {"a>b<L>", "   ^^^"}, {"<N<S>", "  ^^^"}};
        TFrameLabelPatternEditorForm editor;
        for (const auto &c : cases) {
            editor.SetPatternText(c.text);
            const QString marks = c.marks.leftJustified(c.text.size());
            QCOMPARE(c.text + u'|' + looks(editor.ui.rchedtPattern), c.text + u'|' + marks);
            QVERIFY(!editor.ui.rchedtPattern->document()->isUndoAvailable());
        }
    }

    void highlightingFollowsEdits()
    {
        TEditor e(QStringLiteral("ab"), 1);
        QTest::keyClicks(e.ui.rchedtPattern, QStringLiteral("<n>x"));
        QCOMPARE(e.withCaret() + looks(e.ui.rchedtPattern), QStringLiteral("a<n>x|b ^^^  "));
        QTest::keyClick(e.ui.rchedtPattern, Qt::Key_Backspace);
        QTest::keyClick(e.ui.rchedtPattern, Qt::Key_Backspace);
        QCOMPARE(e.withCaret() + looks(e.ui.rchedtPattern), QStringLiteral("a<n|b    "));
        // A change elsewhere leaves the selection alone.
        QTest::keyClick(e.ui.rchedtPattern, Qt::Key_Left);
        QTest::keyClick(e.ui.rchedtPattern, Qt::Key_Home, Qt::ShiftModifier);
        QTextCursor elsewhere(e.ui.rchedtPattern->document());
        elsewhere.setPosition(3);
        elsewhere.insertText(QStringLiteral(">"));
        QCOMPARE(looks(e.ui.rchedtPattern), QStringLiteral(" ^^^ "));
        QCOMPARE(e.ui.rchedtPattern->textCursor().selectedText(), QStringLiteral("a<"));
    }

    // A flag the caret passes on its way keeps its row selected; picks are
    // the rows the user chooses afterwards. buttons: Insert, Delete.
    void caretContext()
    {
        const struct { QString text; int caret; QList<int> picks; int row; QString buttons; } cases[] = {
            {"<n> x", 0, {}, 2, "-D"},         {"Frame <NS> x", 8, {}, 3, "-D"}, {"Frame <NS> x", 6, {}, 3, "-D"},
            {"Frame <NS> x", 10, {}, 3, "I-"}, {"Frame <n>", 9, {}, 2, "I-"},    {"<X>", 1, {}, -1, "--"},
            {"<N>x<S>", 3, {}, 2, "I-"},       {"a b", 1, {4}, 4, "I-"},         {"a <N> b", 3, {4}, 4, "--"},
            {"a <N> b", 2, {4}, 4, "I-"},      {"a <N> b", 3, {4, 2}, 2, "-D"}};
        for (const auto &c : cases) {
            TEditor e(c.text, c.caret);
            for (int pick : c.picks)
                e.pick(pick);
            const QList<QTreeWidgetItem *> selected = e.ui.lstvwFlags->selectedItems();
            const int row = selected.isEmpty() ? -1 : e.ui.lstvwFlags->indexOfTopLevelItem(selected.first());
            const QString buttons =
                QString(e.ui.bitbtnInsert->isEnabled() ? "I" : "-") + (e.ui.bitbtnDelete->isEnabled() ? "D" : "-");
            QCOMPARE(QString("%1 row %2 %3").arg(e.withCaret()).arg(row).arg(buttons),
                     QString("%1 row %2 %3").arg(QString(c.text).insert(c.caret, u'|')).arg(c.row).arg(c.buttons));
        }
    }

    // row -1 deletes, any other inserts that row's flag; pasted goes in at
    // the caret first, as from the context menu.
    void editFlags()
    {
        const struct { QString text; int anchor, caret; QString pasted; int row; QString result; } cases[] = {
            {"Frame <NS> x", 8, 8, "", -1, "Frame | x"}, {"Frame <NS> x", 6, 6, "", -1, "Frame | x"},
            {"<n>", 1, 1, "", -1, "|"},                  {"<<N>", 2, 2, "", -1, "<|"},
            {"<N><S>", 3, 3, "", -1, "<N>|"},            {"ab <N>", 3, 3, "<", -1, "ab <|"},
            {"Frame  x", 6, 6, "", 1, "Frame <L>| x"},   {"ab", 2, 2, "", 0, "ab<F>|"},
            {"abcd", 0, 3, "", 2, "abc<N>|d"},           {"abcd", 3, 0, "", 5, "<ST>|abcd"},
            {"a <N>", 2, 2, "", 4, "a <S>|<N>"}};
        for (const auto &c : cases) {
            TEditor e(c.text, c.caret, c.anchor);
            if (!c.pasted.isEmpty())
                e.ui.rchedtPattern->insertPlainText(c.pasted);
            const QString before = e.form.PatternText();
            if (c.row >= 0)
                e.pick(c.row);
            (c.row >= 0 ? e.ui.bitbtnInsert : e.ui.bitbtnDelete)->click();
            QCOMPARE(c.text + " -> " + e.withCaret(), c.text + " -> " + c.result);
            QVERIFY(!e.ui.rchedtPattern->textCursor().hasSelection());
            QCOMPARE(e.ui.bitbtnOK->isEnabled(), c.result != "|");
            TFrameLabelPatternEditorForm fresh;
            fresh.SetPatternText(e.form.PatternText());
            QCOMPARE(looks(e.ui.rchedtPattern), looks(fresh.ui.rchedtPattern));
            e.ui.rchedtPattern->undo();
            QCOMPARE(e.form.PatternText(), before);
        }
    }

    void pasteStaysOneLine()
    {
        TEditor e(QStringLiteral("Frame <N>"), 9);
        e.ui.rchedtPattern->insertPlainText(QStringLiteral("\nof\r\n<S>"));
        QCOMPARE(e.withCaret(), QStringLiteral("Frame <N>of<S>|"));
        e.ui.rchedtPattern->undo(); // in the paste's own step
        QCOMPARE(e.form.PatternText(), QStringLiteral("Frame <N>"));
        e.form.SetPatternText(QStringLiteral("a\r\nb\n"));
        QCOMPARE(e.form.PatternText(), QStringLiteral("ab"));
    }
};

QTEST_MAIN(PatternEditorTest)
#include "PatternEditorTest.moc"
