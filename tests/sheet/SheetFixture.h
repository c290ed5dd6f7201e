#pragma once
// Plain sheet settings, a host that records what it is asked to show, and a
// QApplication for fonts and widgets.
#include "core/Global.h"
#include "sheet/PictureSource.h"
#include "sheet/SheetHost.h"
#include "sheet/SheetProgress.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

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

// No margins or spaces, portrait, labels off, one column and row, empty
// patterns.
inline TSheetSettings PlainSettings()
{
    TSheetSettings s;
    s.LeftMargin = s.RightMargin = s.TopMargin = s.BottomMargin = 0;
    s.ImageSpace = s.TextSpace = 0;
    s.Orientation = TOrientation::Portrait;
    s.CenterPageContents = false;
    s.LabelFrames = false;
    s.SetFramesPerPage = false;
    s.NonKeyFrameLabel.clear();
    s.KeyFrameLabel.clear();
    s.LabelFont = QFont(QStringLiteral("DejaVu Sans"), 12);
    s.ViewFile = false;
    return s;
}

// Answers with the settings it is given; records every setting it is asked
// to show (the message goes to ShowErrorMessage, as a tool's host does).
class TTestSheetHost : public TSheetHost {
public:
    explicit TTestSheetHost(TSheetSettings &settings) : m_settings(settings) {}
    TSheetSettings Settings() const override { return m_settings; }
    TPictureSource &Pictures() override
    {
        m_pictures = std::make_unique<TCapturedPictures>(QSize(MovieWidth, MovieHeight));
        return *m_pictures;
    }
    void ReportSetting(TSheetSetting setting, const QString &message) override
    {
        reported.push_back(setting);
        TSheetHost::ReportSetting(setting, message);
    }
    TSheetProgress *Progress() override { return progress; }

    std::vector<TSheetSetting> reported;
    TSheetProgress *progress = nullptr;

private:
    TSheetSettings &m_settings;
    std::unique_ptr<TPictureSource> m_pictures;
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
