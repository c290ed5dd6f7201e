#pragma once
#include "core/InstanceManager.h"
#include "wizard/BaseWizardInfoFrm.h"

#include "ui_Step1Frm.h"

#include <memory>

// The welcome step; the main form. It carries the single-instance component.
class TStep1Form : public TBazeWizardInfoForm {
    Q_OBJECT
public:
    explicit TStep1Form(TAMInstanceManager::Services instanceServices, QWidget *parent = nullptr);
    ~TStep1Form() override;

    QCheckBox *chbxShowHints() const { return step.chbxShowHints; }
    TAMInstanceManager &AMInstanceManager() { return *m_instanceManager; }

    // The single-instance check of the form's loading; false when this copy
    // was refused (the running copy has been brought forward).
    bool RunInstanceCheck(const QString &rawCommandLine);

public slots:
    void bitbtnNextClick() override;
    void chbxShowHintsClick();
    void AMInstanceManagerNewInstance(platform::AppHandle sender, const QStringList &commandLine, bool &allow);

private:
    void FormCreate();
    Ui::TStep1Form step;
    std::unique_ptr<TAMInstanceManager> m_instanceManager;
};
