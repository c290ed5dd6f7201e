#pragma once
// The frame selection step: candidate frames as thumbnails, narrowed by the
// scenes (FLA mode) and a filter; the selected frames go onto the sheet.
#include "core/Global.h"
#include "wizard/BaseWizardFrm.h"

#include "ui_Step3Frm.h"

class TStep3Form : public TBaseWizardForm {
    Q_OBJECT
public:
    explicit TStep3Form(QWidget *parent = nullptr);
    // Removes the frame pictures of this run.
    ~TStep3Form() override;

    Ui::TStep3Form step;

    // FLA mode: checks the scene chooser's item of scene (0-based) alone;
    // "All" when there is no such scene.
    void SetCurrentScene(int scene);

    // The frames of the thumbnails, in list order.
    const TFrameArr &ShownFrames() const { return m_frames; }
    // Hands the selected thumbnails' frames to the frame selection.
    void StoreSelection();

public slots:
    // Rebuilds the thumbnails from the scenes and the filter, with the
    // "Loading Frames" progress window; Cancel keeps the thumbnails made.
    void LoadThumbnails();
    void tlThumbnailListClick();
    void bitbtnNextClick() override;
    void bitbtnCreatePDFClick() override;
    void bitbtnSelectAllClick();
    void bitbtnClearAllClick();
    void bitbtnPreviewClick();
    // The label edit's text becomes the focused frame's label.
    void edtFrameLabelExit();
    void cmbxFrameFilterChange();
    void spnedtFrameFilterValChange();
    void edtSelectedFramesChange();
    void bitbtnApplyFrameFilterValClick();
    void chbxShowCaptionsClick();
    // Keeps only the digits, "," and "-" (and Backspace); false drops the key.
    bool edtSelectedFramesKeyPress(QChar key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void FormCreate();
    // Which value controls the chosen filter needs, and Apply beside them.
    void LayoutFilterValueControls();
    // "All" and single scenes exclude each other; one item stays checked.
    void cmbxScenesChange();
    void cmbxScenesClose();
    void cmbxScenesCheckListItemToText(QString &aText);
    void cmbxScenesTextToCheckListItem(QString &aItem);
    IntArr ShownScenesNow() const;
    // Why the thumbnails of the current choice are none.
    QString EmptyListText() const;
    QString SceneLabelOf(const TFrame &frame) const;
    // The frame the details show and the label edit changes: the focused
    // one, else the first selected.
    int DetailsIndex() const;

    TFrameArr m_frames;
    bool m_correctingScenes = false;
};
