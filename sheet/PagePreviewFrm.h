#pragma once
// A small picture of one sheet page with a slider to choose the page; shown
// beside the page setup and layout steps, which place it in their panel.
#include "sheet/SheetSettings.h"

#include <QWidget>
#include <memory>

class QGroupBox;
class QLabel;
class QSlider;
namespace Ui {
class TPagePreviewForm;
}

class TPagePreviewForm : public QWidget {
    Q_OBJECT
public:
    explicit TPagePreviewForm(QWidget *parent = nullptr);
    ~TPagePreviewForm() override;

    // Recomputes the layout with cause as the setting that changed; shows
    // the page controls only while the layout is valid. Nothing happens
    // while the preview is not visible.
    void RefreshPreview(TSheetSetting cause);

    // The form's controls (its generated header stays inside this library).
    QGroupBox *grbxPreview() const;
    QLabel *imgPreview() const;
    QSlider *trbarPreviewPage() const;
    QLabel *lblStartPage() const;
    QLabel *lblEndPage() const;
    QLabel *lblCurPage() const;

public slots:
    void trbarPreviewPageChange();

private:
    void ShowPageControls(bool show);
    std::unique_ptr<Ui::TPagePreviewForm> ui;
};
