#pragma once
// The frame every wizard step shares: header, the four buttons, the caption
// with the step number, navigation between steps, dropped movies and text
// histories.
#include <QDialog>
#include <QVector>

#include "ui_BaseWizardFrm.h"

class QComboBox;

class TBaseWizardForm : public QDialog {
    Q_OBJECT
public:
    explicit TBaseWizardForm(QWidget *parent = nullptr);
    ~TBaseWizardForm() override;

    // The step number, from the form's "Tag" (lowered by one in FLA mode
    // for the steps after the capture step).
    int Tag() const { return m_tag; }

    QPushButton *bitbtnBack() const { return ui.bitbtnBack; }
    QPushButton *bitbtnNext() const { return ui.bitbtnNext; }
    QPushButton *bitbtnCreatePDF() const { return ui.bitbtnCreatePDF; }
    QPushButton *bitbtnClose() const { return ui.bitbtnClose; }

public slots:
    virtual void bitbtnBackClick();
    virtual void bitbtnNextClick();
    virtual void bitbtnCreatePDFClick();
    virtual void bitbtnCloseClick();
    // Files dropped on the window (SWF mode): the first is offered to the
    // capture step as the movie to open, with that step shown.
    void FilesDropped(const QStringList &paths);
    // Bound to the drop-down and exit of history combo boxes.
    void AppendCurrentEntryToHistoryComboBox(QComboBox *sender);

protected:
    // Puts the step's own controls (a widget made from its form file) between
    // the header and the buttons, sizes the window to fit and reads the
    // step number from the content's "Tag" property.
    void SetStepContent(QWidget *content, const QString &title, const QString &description);
    // Common creation: step array, number, caption, buttons, drops.
    void FormCreate();
    // Sets the client size and moves the buttons with the bottom right corner.
    void SetClientSize(int width, int height);

    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void reject() override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

    Ui::TBaseWizardForm ui;
    int m_tag = 0;

private:
    bool m_placed = false; // centred on the main form at the first show
    void navigate(int targetIndex, QPushButton *(TBaseWizardForm::*button)() const, QPushButton *clicked);
};

// The step forms by step number - 1; 7 long in SWF mode, 6 in FLA mode.
extern QVector<TBaseWizardForm *> StepForms;

// Shows form and hides the step that was active before it.
void ShowWizardStep(QWidget *form);
// The step form most recently shown (the visible step).
QWidget *CurrentWizardStep();

// Puts text at the top of the combo's history (at most eight entries; a
// blank first entry stays first) and chooses it.
void AddToHistory(QComboBox *combo, const QString &text);

// Tool tips of the whole application on or off.
void SetHintsEnabled(bool enabled);
bool HintsEnabled();

// Offers a dropped or handed-over movie to the capture step (SWF mode),
// which says why when it refuses one; set by the capture step.
extern std::function<bool(const QString &path, bool showStep)> OfferMovieToCaptureStep;
