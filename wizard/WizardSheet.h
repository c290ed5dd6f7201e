#pragma once
// The wizard's side of the layout and the writer: the sheet settings read
// from the steps' controls, and a setting that must change shown on its
// step with the focus on its control.
#include "sheet/SheetHost.h"

#include <memory>

#include <QSize>

class QWidget;
class TFlashServer;
class TSheetProgress;

// The settings as the page setup, layout and output steps hold them now.
TSheetSettings WizardSheetSettings();

// The control that holds a setting, and the setting a control holds
// (Other for any control outside the page and layout settings).
QWidget *ControlOfSetting(TSheetSetting setting);
TSheetSetting SettingOfControl(const QWidget *control);

// The one page preview, moved into the panel of the step being shown.
void PlacePagePreview(QWidget *panel);
// Refreshes the page preview (and so the layout) for a change of control.
void RefreshPagePreview(const QWidget *cause);

class TWizardSheetHost final : public TSheetHost {
public:
    explicit TWizardSheetHost(TSheetProgress *progress);
    ~TWizardSheetHost() override;
    TSheetSettings Settings() const override { return WizardSheetSettings(); }
    TPictureSource &Pictures() override;
    void ReportSetting(TSheetSetting setting, const QString &message) override;
    TSheetProgress *Progress() override { return m_progress; }

private:
    TSheetProgress *m_progress;
    std::unique_ptr<TPictureSource> m_pictures;
    // What m_pictures was made for.
    const TFlashServer *m_picturesServer = nullptr;
    QSize m_picturesFor;
};
