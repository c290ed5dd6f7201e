#pragma once
// What the layout and the writer ask of the program that runs them. The
// wizard answers from its steps' controls and puts the user on the step of
// a setting that must change; a command-line tool gives its options and
// prints.
#include "core/Global.h"
#include "sheet/SheetSettings.h"

class TPictureSource;
class TSheetProgress;

class TSheetHost {
public:
    virtual ~TSheetHost() = default;
    // The settings as they stand now.
    virtual TSheetSettings Settings() const = 0;
    // Where the pictures of the selected frames come from.
    virtual TPictureSource &Pictures() = 0;
    // Tells the user that setting must change, in message's words.
    virtual void ReportSetting(TSheetSetting setting, const QString &message)
    {
        (void)setting;
        ShowErrorMessage(message);
    }
    // Shows the writer's progress and offers Cancel; may be null.
    virtual TSheetProgress *Progress() { return nullptr; }
};
