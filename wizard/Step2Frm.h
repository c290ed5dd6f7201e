#pragma once
// The capture step (SWF mode only): the user picks a movie, sees it in the
// player and chooses how its frames are captured.
#include "wizard/BaseWizardFrm.h"

#include "ui_Step2Frm.h"

#include <QRect>
#include <QVector>

class QFileDialog;

class TStep2Form : public TBaseWizardForm {
    Q_OBJECT
public:
    enum { cmFileFrames = 0, cmScreen = 1 }; // cmbxCaptureMethod's items

    explicit TStep2Form(QWidget *parent = nullptr);

    Ui::TStep2Form step;
    QFileDialog *opndlgOpenSWFFile;

    // Opens the movie at path unless it is no existing ".swf" file (any
    // letter case); with showStep this step comes forward. False when
    // refused.
    bool OpenSwfFile(const QString &path, bool showStep);
    // Loads path as the movie: model, output file name, stage size, window
    // size and the capture controls.
    void OpenMovie(const QString &path);
    // Back to no movie.
    void ClearMovie();
    // Back to the first frame, stopped (the Eject button).
    void ResetMovie();

public slots:
    void cmbxCaptureMethodChange();
    void cmbxSWFFileChange();
    void bitbtnSWFFileBrowseClick();
    void trbarPlayProgressChange();

private:
    // How a control follows the window when the stage resizes it.
    struct Anchor {
        QWidget *widget;
        QRect design;
        bool right;      // keeps its distance to the right edge
        bool bottom;     // keeps its distance to the bottom edge
        bool stretchW;   // keeps both horizontal distances
        bool stretchH;   // keeps both vertical distances
        bool centreH;    // stays centred horizontally
    };

    void FormCreate();
    void ShowCaptureMethodControls();
    // Sizes the window (client area) and lays the content out to it.
    void ResizeStep(int width, int height);

    QWidget *m_content = nullptr;
    QSize m_contentDesign;       // the content's size as designed (minimum)
    int m_chrome = 0;            // header and button bar around the content
    QVector<Anchor> m_anchors;
    bool m_inSwfFileChange = false;
};
