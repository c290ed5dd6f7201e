#pragma once
// What the PDF writer needs of a progress display: the wizard's progress
// window, a console line, or nothing.
#include <QString>

class TSheetProgress {
public:
    virtual ~TSheetProgress() = default;
    // Shows the display with the caption, at 0 percent.
    virtual void Start(const QString &caption) = 0;
    // Also the moment to let the user act (repaints, Cancel).
    virtual void SetProgress(int percent) = 0;
    virtual bool Cancelled() const = 0;
    virtual void Finish() = 0;
};
