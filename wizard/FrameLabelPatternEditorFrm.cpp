#include "wizard/FrameLabelPatternEditorFrm.h"

#include "wizard/BaseWizardFrm.h"

#include <QKeyEvent>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSyntaxHighlighter>
#include <QTextCursor>

namespace {

// Formats live in the layout, not in the document: no undo steps, no
// textChanged, and text typed after a flag does not take its look.
class TFlagHighlighter : public QSyntaxHighlighter {
public:
    TFlagHighlighter(const TFrameLabelPatternEditorForm &form, QTextDocument *document)
        : QSyntaxHighlighter(document), m_form(form)
    {
        m_flag.setFontWeight(QFont::Bold);
        m_flag.setForeground(Qt::red);
    }

protected:
    // Each ">" closes at most one flag, opened by the last "<" before it, so
    // "<<N>" shows only "<N>".
    void highlightBlock(const QString &text) override
    {
        for (qsizetype from = 0; from < text.size();) {
            const qsizetype close = text.indexOf(u'>', from);
            if (close < 0)
                return;
            const qsizetype open = text.lastIndexOf(u'<', close);
            const qsizetype length = close - open + 1;
            if (open >= from && m_form.FlagIndex(QStringView(text).sliced(open, length)) >= 0)
                setFormat(int(open), int(length), m_flag);
            from = close + 1;
        }
    }

private:
    const TFrameLabelPatternEditorForm &m_form;
    QTextCharFormat m_flag;
};

bool IsLineBreak(QChar ch)
{
    return ch == u'\n' || ch == u'\r' || ch == QChar::LineSeparator || ch == QChar::ParagraphSeparator;
}

} // namespace

TFrameLabelPatternEditorForm::TFrameLabelPatternEditorForm(QWidget *parent) : QDialog(parent)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui.lstvwFlags->setColumnWidth(0, 50);
    ui.lstvwFlags->setColumnWidth(1, 170);
    ui.lstvwFlags->setColumnWidth(2, 60);
    ui.rchedtPattern->document()->setDocumentMargin(2); // one line fits the edit
    new TFlagHighlighter(*this, ui.rchedtPattern->document());
    ui.rchedtPattern->installEventFilter(this);
    ui.rchedtPattern->viewport()->installEventFilter(this);
    connect(ui.rchedtPattern, &QTextEdit::textChanged, this, &TFrameLabelPatternEditorForm::rchedtPatternChange);
    // Also moves made from the context menu, which no release in the edit
    // reports; Delete must never act on a stale flag.
    connect(ui.rchedtPattern, &QTextEdit::cursorPositionChanged, this,
            &TFrameLabelPatternEditorForm::FindCaretContext);
    connect(ui.lstvwFlags, &QTreeWidget::itemSelectionChanged, this, &TFrameLabelPatternEditorForm::lstvwFlagsSelectItem);
    connect(ui.bitbtnInsert, &QPushButton::clicked, this, &TFrameLabelPatternEditorForm::bitbtnInsertClick);
    connect(ui.bitbtnDelete, &QPushButton::clicked, this, &TFrameLabelPatternEditorForm::bitbtnDeleteClick);
    connect(ui.bitbtnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui.bitbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    rchedtPatternChange();
}

void TFrameLabelPatternEditorForm::SetPatternText(const QString &text)
{
    QString line = text;
    line.removeIf(IsLineBreak);
    ui.rchedtPattern->setPlainText(line);
}

QString TFrameLabelPatternEditorForm::PatternText() const
{
    return ui.rchedtPattern->toPlainText();
}

int TFrameLabelPatternEditorForm::Execute(bool keyPattern)
{
    ui.lblPatternDescrption->setText(keyPattern ? QStringLiteral("Pattern of &key frame labels")
                                                : QStringLiteral("Pattern of non-ke&y frame labels"));
    ui.rchedtPattern->setToolTip(keyPattern ? QStringLiteral("Edit pattern of key frame labels")
                                            : QStringLiteral("Edit pattern of non-key frame labels"));
    if (QWidget *main = StepForms.value(0))
        move(main->frameGeometry().center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    return exec();
}

int TFrameLabelPatternEditorForm::FlagIndex(QStringView text) const
{
    for (int row = 0; row < ui.lstvwFlags->topLevelItemCount(); ++row)
        if (text.compare(ui.lstvwFlags->topLevelItem(row)->text(0), Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

void TFrameLabelPatternEditorForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ui.rchedtPattern->setFocus(Qt::OtherFocusReason);
    QTextCursor caret = ui.rchedtPattern->textCursor();
    caret.movePosition(QTextCursor::Start);
    ui.rchedtPattern->setTextCursor(caret);
    FindCaretContext();
}

void TFrameLabelPatternEditorForm::rchedtPatternChange()
{
    if (m_cleaning)
        return;
    // A pattern is one line: line breaks that came in by pasting are dropped,
    // in the paste's own undo step.
    const QString text = PatternText();
    if (text.contains(u'\n')) {
        m_cleaning = true;
        QTextCursor cut(ui.rchedtPattern->document());
        cut.joinPreviousEditBlock();
        for (qsizetype at = text.size(); at-- > 0;) {
            if (text[at] == u'\n') {
                cut.setPosition(int(at));
                cut.deleteChar();
            }
        }
        cut.endEditBlock();
        m_cleaning = false;
    }
    ui.bitbtnOK->setEnabled(!PatternText().isEmpty());
    FindCaretContext();
}

void TFrameLabelPatternEditorForm::lstvwFlagsSelectItem()
{
    SetButtons(true);
}

void TFrameLabelPatternEditorForm::bitbtnInsertClick()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    QTextCursor caret = ui.rchedtPattern->textCursor();
    caret.clearSelection();
    caret.insertText(ui.lstvwFlags->topLevelItem(row)->text(0), QTextCharFormat());
    ui.rchedtPattern->setTextCursor(caret);
    ui.rchedtPattern->setFocus(Qt::OtherFocusReason);
    FindCaretContext();
}

void TFrameLabelPatternEditorForm::bitbtnDeleteClick()
{
    FindCurFlag();
    if (m_curFlag < 0)
        return;
    QTextCursor caret = ui.rchedtPattern->textCursor();
    caret.setPosition(m_flagStart);
    caret.setPosition(m_flagEnd + 1, QTextCursor::KeepAnchor);
    caret.removeSelectedText();
    ui.rchedtPattern->setTextCursor(caret);
    ui.rchedtPattern->setFocus(Qt::OtherFocusReason);
    FindCaretContext();
}

void TFrameLabelPatternEditorForm::FindCaretContext()
{
    FindCurFlag();
    SetButtons(false);
}

// The character right of the caret decides, so a caret just before "<" is in
// the flag and one just after ">" is not.
void TFrameLabelPatternEditorForm::FindCurFlag()
{
    const QString text = PatternText();
    const int caret = ui.rchedtPattern->textCursor().position();
    m_curFlag = m_flagStart = m_flagEnd = -1;
    if (caret >= text.size())
        return;
    const int start = int(text.lastIndexOf(u'<', caret));
    const int end = int(text.indexOf(u'>', caret));
    if (start < 0 || end < 0)
        return;
    m_curFlag = FlagIndex(QStringView(text).sliced(start, end - start + 1));
    if (m_curFlag >= 0) {
        m_flagStart = start;
        m_flagEnd = end;
    }
}

void TFrameLabelPatternEditorForm::SetButtons(bool fromList)
{
    const int row = SelectedRow();
    bool canInsert = row >= 0;
    bool canDelete = false;
    if (m_curFlag >= 0) {
        if (!fromList) {
            const QSignalBlocker quiet(ui.lstvwFlags);
            QTreeWidgetItem *item = ui.lstvwFlags->topLevelItem(m_curFlag);
            ui.lstvwFlags->setCurrentItem(item);
            ui.lstvwFlags->scrollToItem(item);
            canInsert = false;
            canDelete = true;
        } else if (row == m_curFlag) {
            canInsert = false;
            canDelete = true;
        } else {
            // Another flag may go in front of this one, never into it.
            canInsert = row >= 0 && ui.rchedtPattern->textCursor().position() == m_flagStart;
        }
    }
    ui.bitbtnInsert->setEnabled(canInsert);
    ui.bitbtnDelete->setEnabled(canDelete);
}

int TFrameLabelPatternEditorForm::SelectedRow() const
{
    const QList<QTreeWidgetItem *> selected = ui.lstvwFlags->selectedItems();
    return selected.isEmpty() ? -1 : ui.lstvwFlags->indexOfTopLevelItem(selected.first());
}

bool TFrameLabelPatternEditorForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui.rchedtPattern && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter alone confirms like in a one-line edit; a line feed
            // (Ctrl+Enter, Shift+Enter) is dropped.
            if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && ui.bitbtnOK->isEnabled())
                ui.bitbtnOK->click();
            return true;
        }
    }
    // The edit has moved the caret on the press already.
    if ((watched == ui.rchedtPattern && event->type() == QEvent::KeyRelease)
        || (watched == ui.rchedtPattern->viewport() && event->type() == QEvent::MouseButtonRelease))
        FindCaretContext();
    return QDialog::eventFilter(watched, event);
}
