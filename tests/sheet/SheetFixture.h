#pragma once
// The controls of the page setup and layout steps, built as the forms build
// them, and a QApplication for fonts and widgets.
#include "controls/RadioGroup.h"
#include "core/Global.h"
#include "sheet/LayoutSource.h"
#include "sheet/SheetControls.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <gtest/gtest.h>
#include <climits>
#include <memory>

class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!QApplication::instance())
            m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[12] = "sheet_tests";
    char *m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

// The steps' controls at plain values: no margins or spaces, portrait,
// labels off, one column and row, empty patterns.
struct TStepControls {
    TSheetControlSet set;
    QWidget &pageStep = set.PageStep();
    QWidget &layoutStep = set.LayoutStep();
    TLayoutControls &c = set.controls;

    TStepControls()
    {
        c.cmbxPageSize->clear();
        for (QSpinBox *edit : {c.spedtPageLeftMargin, c.spedtPageRightMargin, c.spedtPageTopMargin,
                               c.spedtPageBottomMargin, c.spedtImageSpace, c.spedtTextSpace})
            edit->setValue(0);
        c.rgOrientation->SetItemIndex(0);
        for (QCheckBox *box : {c.chbxCenterPageContents, c.chbxLabelFrames, c.chbxSetFramesPerPage})
            box->setChecked(false);
        c.cmbxNonKeyFrameLabel->clear();
        c.cmbxKeyFrameLabel->clear();
        c.spedtColumnsPerPage->setValue(1);
        c.spedtRowsPerPage->setValue(1);
        set.labelFont = QFont(QStringLiteral("DejaVu Sans"), 12);
    }
};

// n frames of one scene, numbered from 0.
inline TFrameArr FramesOfScene(int n, int scene = 0)
{
    TFrameArr frames;
    for (int i = 0; i < n; ++i) {
        TFrame f;
        f.FrameIndex = i;
        f.SceneIndex = scene;
        frames.push_back(f);
    }
    return frames;
}
