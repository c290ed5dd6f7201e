#pragma once
// The launch of the wizard: its arguments, its mode and the model built
// from them.
#include "core/Global.h"

#include <QString>
#include <QStringList>
#include <stdexcept>

// A launch that cannot go on; what() is the sentence shown to the user.
class StartupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Splits a command line: characters 1..32 outside double quotes separate
// arguments; quotes group and are dropped; an empty argument is skipped.
QStringList SplitCommandLine(const QString &commandLine);

// The wizard's command line as one text, each argument in double quotes, so
// that SplitCommandLine gives the arguments back.
QString JoinCommandLine(const QStringList &args);

// Splits the way a comma-text list is read: blanks and commas separate,
// double quotes group (a doubled quote inside stands for one).
QStringList SplitCommaText(const QString &text);

// The pieces of text each ended by terminator; a trailing piece without it
// is dropped.
QStringList SplitTerminated(const QString &text, QChar terminator);

// A decimal int32 (optional sign); throws StartupError naming what.
int32_t ParseLaunchInteger(const QString &text, const QString &what);

// An unsigned decimal uint32; throws StartupError naming what.
uint32_t ParseLaunchUnsigned(const QString &text, const QString &what);

// The scene list of the authoring tool's launch; throws StartupError when a
// number in it is not decimal.
TSceneInfoArr ParseSceneList(const QString &sceneList);

// args[0] is the program. FLA mode: exactly six arguments and a 0x03 in the
// command line.
bool IsFlaLaunch(const QStringList &args, const QString &rawCommandLine);

// "%d.%d" of the file's major and minor version, or "0.0".
QString ReadProgramVersion(const QString &programPath);

// Sets AppTitle, the mode, the movie values and Scenes and creates
// FrameSelection; throws StartupError on unreadable FLA arguments.
void InitSharedModel(const QStringList &args, const QString &rawCommandLine, const QString &programPath);

// Sets TempImageBase from the private temporary folder (throws
// platform::PlatformError when that folder is unsafe).
void InitTempImageBase();

// Frees FrameSelection and clears the model (FlashServer and PDFCreator are
// freed by their owners, in between).
void FreeFrameSelection();
void ClearSharedModel();
