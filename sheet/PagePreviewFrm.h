#pragma once
// A small picture of one sheet page with a slider to choose the page; shown
// beside the page setup and layout steps, which place it in their panel.
#include <QWidget>

#include "ui_PagePreviewFrm.h"

class TPagePreviewForm : public QWidget {
    Q_OBJECT
public:
    explicit TPagePreviewForm(QWidget *parent = nullptr);

    // Recomputes the layout with cause as the control that changed; shows
    // the page controls only while the layout is valid. Nothing happens
    // while the preview is not visible.
    void RefreshPreview(QWidget *cause);

    Ui::TPagePreviewForm ui;

public slots:
    void trbarPreviewPageChange();

private:
    void ShowPageControls(bool show);
};
