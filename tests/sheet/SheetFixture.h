#pragma once
// The controls of the page setup and layout steps, built as the forms build
// them, and a QApplication for fonts and widgets.
#include "controls/RadioGroup.h"
#include "core/Global.h"
#include "sheet/LayoutSource.h"

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

struct TStepControls {
    QWidget pageStep;
    QWidget layoutStep;
    TLayoutControls c;

    TStepControls()
    {
        const auto spin = [](QWidget *parent, int minimum, int value) {
            auto *edit = new QSpinBox(parent);
            edit->setRange(minimum, INT_MAX);
            edit->setValue(value);
            return edit;
        };
        c.cmbxPageSize = new QComboBox(&pageStep);
        c.spedtPageWidth = spin(&pageStep, 10, 210);
        c.spedtPageHeight = spin(&pageStep, 10, 297);
        c.spedtPageLeftMargin = spin(&pageStep, 0, 0);
        c.spedtPageRightMargin = spin(&pageStep, 0, 0);
        c.spedtPageTopMargin = spin(&pageStep, 0, 0);
        c.spedtPageBottomMargin = spin(&pageStep, 0, 0);
        c.spedtImageSpace = spin(&pageStep, 0, 0);
        c.spedtTextSpace = spin(&pageStep, 0, 0);
        c.rgOrientation = new TRadioGroup(&pageStep);
        c.rgOrientation->SetItems({"Portrait", "Landscape", "Auto"});
        c.rgOrientation->SetItemIndex(0);
        c.chbxCenterPageContents = new QCheckBox(&pageStep);

        c.grbxLabelFrames = new QGroupBox(&layoutStep);
        c.chbxLabelFrames = new QCheckBox(&layoutStep);
        c.cmbxNonKeyFrameLabel = new QComboBox(c.grbxLabelFrames);
        c.cmbxKeyFrameLabel = new QComboBox(c.grbxLabelFrames);
        c.cmbxNonKeyFrameLabel->setEditable(true);
        c.cmbxKeyFrameLabel->setEditable(true);
        c.bitbtnEditNonKeyFrameLabel = new QToolButton(c.grbxLabelFrames);
        c.bitbtnEditKeyFrameLabel = new QToolButton(c.grbxLabelFrames);
        c.bitbtnImageLabelsFont = new QPushButton(c.grbxLabelFrames);
        c.chbxEmbedFontSubset = new QCheckBox(c.grbxLabelFrames);
        c.grbxFramesPerPage = new QGroupBox(&layoutStep);
        c.chbxSetFramesPerPage = new QCheckBox(&layoutStep);
        c.spedtColumnsPerPage = spin(c.grbxFramesPerPage, 1, 1);
        c.spedtRowsPerPage = spin(c.grbxFramesPerPage, 1, 1);
        c.labelFont = [] { return QFont(QStringLiteral("DejaVu Sans"), 12); };
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
