#include "wizard/Step7Frm.h"

TStep7Form::TStep7Form(QWidget *parent) : TBazeWizardInfoForm(parent)
{
    auto *content = new QWidget;
    step.setupUi(content);
    SetInfoContent(content, QStringLiteral("Completing Tessory"),
                   QStringLiteral("You have successfully created a PDF file."),
                   QStringLiteral("To close this wizard, click Close."));
    FormCreate();
}
