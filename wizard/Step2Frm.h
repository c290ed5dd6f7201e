#pragma once
// The capture step (SWF mode only): the user picks a movie, sees it in the
// player and chooses how its frames are captured.
#include "wizard/BaseWizardFrm.h"

#include "ui_Step2Frm.h"

#include <QRect>
#include <QVector>

class QFileDialog;
class QToolButton;

class QLabel;

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
    // Why OpenSwfFile last refused a path, in one sentence.
    QString OpenSwfFileError() const { return m_openError; }

    // A capture replaces the pictures of the one scene: Begin clears them
    // and locks the controls, End (also Cancel) unlocks them.
    void BeginCapture();
    void EndCapture();
    // Screen capture: the player's picture now as the next captured frame.
    void CaptureFrame();
    // File Frames: captures the chosen range; false when it did not end in
    // pictures to choose from (refused range, failure, another movie).
    bool CaptureFileFrames();
    bool Capturing() const { return m_capturing; }
    // The player's size on the step: the stage, shrunk to what the screen
    // leaves (aspect kept).
    QSize PlayerSize() const { return step.Shock->size(); }

public slots:
    void cmbxCaptureMethodChange();
    void cmbxSWFFileChange();
    void bitbtnSWFFileBrowseClick();
    void trbarPlayProgressChange();
    void bitbtnNextClick() override;
    void bitbtnCancelClick();
    // The media buttons: Play captures, Stop ends it and goes on, Eject
    // rewinds.
    void MediaPlayerClick(QToolButton *button);

protected:
    void closeEvent(QCloseEvent *event) override;

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
    // Opens the movie handed over while other work ran, once it is done.
    void OpenPendingMovie(bool showStep);
    // The notice along the player's bottom edge: what the movie relies on
    // that is not drawn; hidden when there is nothing to say.
    void ShowMovieNotice();

    QLabel *m_notice = nullptr;

    QWidget *m_content = nullptr;
    QSize m_contentDesign;       // the content's size as designed (minimum)
    int m_chrome = 0;            // header and button bar around the content
    QVector<Anchor> m_anchors;
    bool m_inSwfFileChange = false;
    bool m_capturing = false;     // the next picture may be taken
    bool m_abortCapture = false;  // stop a File Frames capture and stay
    bool m_inCaptureLoop = false;
    QString m_openError;
    QString m_pendingOpen;        // opened once the running work is done
};
