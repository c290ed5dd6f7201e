#pragma once
// One frame picture at the movie's own pixel size, in a window that stays
// on top while the user picks frames.
#include <QDialog>

#include "ui_ImagePreviewFrm.h"

class TImagePreviewForm : public QDialog {
    Q_OBJECT
public:
    explicit TImagePreviewForm(QWidget *parent = nullptr);

    // The picture to show; reloaded at once while the window is visible.
    void SetImageFile(const QString &path);
    // Puts the picture at the movie's size; with fit the window is sized to
    // it, within the screen.
    void ArrangeImage(bool fit);
    // False when the last load found no readable picture.
    bool HasPicture() const { return m_hasPicture; }

    QString ImageFile;
    Ui::TImagePreviewForm ui;

public slots:
    void FormShow();
    void bitbtnCloseClick();
    void srbxImageResize();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void LoadImage();

    bool m_hasPicture = false;
    bool m_arranging = false;
};
