#include "extension/ScriptFunctions.h"

#include "extension/Channel.h"
#include "extension/Messages.h"
#include "extension/PublishProfile.h"
#include "extension/SceneList.h"
#include "extension/WizardLaunch.h"
#include "platform/FileVersion.h"
#include "platform/Module.h"

#include <QFile>

namespace extension {

namespace {

using extensibility::intToValue;
using extensibility::kFalse;
using extensibility::kTrue;

constexpr char kProfileCall[] = "setImageResolutionAndQuality";

// Natives are called from the host's C code; nothing may unwind into it.
template <typename Body>
JSBool guarded(Body body)
{
    try {
        return body() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

bool fail(const QString &message)
{
    showMessage(message);
    return false;
}

// The authoring tool's own wording for arguments that do not fit.
bool wrongCount(const char *function)
{
    return fail(QStringLiteral("%1(): Actual number of parameters differs from declared").arg(QLatin1String(function)));
}

bool wrongType(const char *function, int parameter)
{
    return fail(QStringLiteral("%1(): Actual type of parameter %2 differs from declared")
                    .arg(QLatin1String(function))
                    .arg(parameter));
}

QString ownLibraryPath()
{
    return platform::modulePathOf(reinterpret_cast<const void *>(&checkVersion));
}

QString profilePath()
{
    const QString base = hostState().tempBase;
    return base.isEmpty() ? QString() : base + QStringLiteral(".xml");
}

void endRun()
{
    HostState &host = hostState();
    host.wizard = 0;
    if (host.record)
        host.record->setActiveHostWindow(0);
    const QString profile = profilePath();
    if (!profile.isEmpty())
        QFile::remove(profile);
}

// A mark left by a run whose host or wizard has gone would refuse every
// later run; it is cleared. Returns whether a live run remains.
bool liveRunMarked()
{
    HostState &host = hostState();
    const uint32_t marked = host.record ? host.record->activeHostWindow() : 0;
    if (marked == 0)
        return false;
    const bool ours = marked == ownHostHandle();
    const bool alive = ours ? platform::processAlive(host.wizard) : platform::processAlive(marked);
    if (!alive) {
        host.record->setActiveHostWindow(0);
        if (ours)
            host.wizard = 0;
    }
    return alive;
}

bool setArrayResult(const HostTable &table, JSContext *cx, const std::vector<jsval> &items, jsval *rval)
{
    JSObject *array = table.newArray(cx, uint32_t(items.size()));
    if (!array)
        return false;
    for (size_t i = 0; i < items.size(); ++i)
        if (!table.setElement(cx, array, uint32_t(i), items[i]))
            return false;
    *rval = reinterpret_cast<jsval>(array);
    return true;
}

const char kArrayFailure[] = "getFlashFunctionToCall(): Cannot build the array of the call";

} // namespace

HostState &hostState()
{
    static HostState state;
    return state;
}

uint32_t ownHostHandle()
{
    return uint32_t(platform::ownAppHandle());
}

void bringWizardForward()
{
    const platform::AppHandle wizard = hostState().wizard;
    if (wizard > 0)
        platform::makeEndpointClient()->activate(wizard);
}

void registerScriptFunctions()
{
    const HostTable &table = hostState().table;
    if (!table.canDefineFunctions())
        return;
    table.defineFunction(QStringLiteral("checkVersion"), &checkVersion, 2);
    table.defineFunction(QStringLiteral("runUI"), &runUI, 5);
    table.defineFunction(QStringLiteral("getFlashFunctionToCall"), &getFlashFunctionToCall, 0);
    table.defineFunction(QStringLiteral("returnFromFlashFunction"), &returnFromFlashFunction, 0);
}

JSBool checkVersion(JSContext *cx, JSObject *, uint32_t argc, jsval *argv, jsval *rval)
{
    return guarded([&] {
        const HostTable &table = hostState().table;
        if (argc != 2)
            return wrongCount("checkVersion");
        const auto major = table.toInteger(cx, argv[0]);
        if (!major)
            return wrongType("checkVersion", 1);
        const auto minor = table.toInteger(cx, argv[1]);
        if (!minor)
            return wrongType("checkVersion", 2);
        const QString library = ownLibraryPath();
        if (library.isEmpty())
            return fail(QStringLiteral("checkVersion(): Cannot get DLL file name"));
        const auto libraryVersion = platform::readFileVersion(library);
        if (!libraryVersion)
            return fail(QStringLiteral("checkVersion(): Cannot get version of DLL"));
        const auto wizardVersion = platform::readFileVersion(wizardPathOf(library));
        if (!wizardVersion)
            return fail(QStringLiteral("checkVersion(): Cannot get version of EXE"));

        const bool same = *major == libraryVersion->major && *major == wizardVersion->major
            && *minor == libraryVersion->minor && *minor == wizardVersion->minor;
        if (!same) {
            showMessage(QStringLiteral("File version mismatch.\nPlease download and install a fresh copy of Tessory."));
            *rval = kFalse;
            return true;
        }
        if (liveRunMarked()) {
            // The running wizard comes forward: ours directly, another
            // host's through that host, whose window passes it on.
            const uint32_t marked = hostState().record->activeHostWindow();
            if (marked == ownHostHandle())
                bringWizardForward();
            else
                platform::makeEndpointClient()->activate(marked);
            *rval = kFalse;
        } else {
            *rval = kTrue;
        }
        return true;
    });
}

JSBool runUI(JSContext *cx, JSObject *, uint32_t argc, jsval *argv, jsval *rval)
{
    (void)rval;
    return guarded([&] {
        HostState &host = hostState();
        const HostTable &table = host.table;
        if (argc != 5)
            return wrongCount("runUI");
        LaunchValues launch;
        const auto document = table.toText(cx, argv[0]);
        if (!document)
            return wrongType("runUI", 1);
        const auto width = table.toInteger(cx, argv[1]);
        if (!width)
            return wrongType("runUI", 2);
        const auto height = table.toInteger(cx, argv[2]);
        if (!height)
            return wrongType("runUI", 3);
        const auto scenes = table.toObject(cx, argv[3]);
        if (!scenes)
            return wrongType("runUI", 4);
        const auto sceneCount = table.arrayLength(cx, *scenes);
        if (!sceneCount)
            return fail(QStringLiteral("runUI(): Cannot get number of scenes"));
        const auto current = table.toInteger(cx, argv[4]);
        if (!current)
            return wrongType("runUI", 5);
        QString failure;
        const auto entries = readScenes(table, cx, *scenes, *sceneCount, &failure);
        if (!entries)
            return fail(failure);
        const QString library = ownLibraryPath();
        if (library.isEmpty())
            return fail(QStringLiteral("runUI(): Cannot get DLL file name"));

        launch.program = wizardPathOf(library);
        launch.document = *document;
        launch.stageWidth = *width;
        launch.stageHeight = *height;
        launch.sceneList = encodeSceneList(*entries);
        launch.currentScene = *current;
        launch.hostWindow = ownHostHandle();
        QString error;
        const platform::AppHandle wizard = startWizard(wizardArguments(launch), &error);
        if (wizard == 0) {
            showSystemError(error, QStringLiteral("runUI(): Cannot start EXE file"));
            return false;
        }
        host.wizard = wizard;
        if (host.record)
            host.record->setActiveHostWindow(ownHostHandle());
        if (!platform::makeEndpointClient()->waitForInputIdle(wizard)) {
            // It can only have ended: no run is left to mark.
            endRun();
            showSystemError(QStringLiteral("The Tessory wizard ended before it was ready."),
                            QStringLiteral("runUI(): Error waiting for EXE to start"));
            return false;
        }
        return true;
    });
}

JSBool getFlashFunctionToCall(JSContext *cx, JSObject *, uint32_t, jsval *, jsval *rval)
{
    return guarded([&] {
        HostState &host = hostState();
        const HostTable &table = host.table;
        if (!host.record)
            return false;
        if (waitForCall(*host.record, host.wizard) == HostWait::WizardGone) {
            // The script's loop ends as it would after "exit".
            const bool hadRun = host.wizard != 0;
            endRun();
            showMessage(hadRun ? QStringLiteral("The Tessory wizard has ended unexpectedly; the export to PDF is "
                                                "stopped.")
                               : QStringLiteral("getFlashFunctionToCall(): No Tessory wizard is running."));
            const auto exitName = table.textValue(cx, QStringLiteral("exit"));
            if (!exitName)
                return fail(QStringLiteral("getFlashFunctionToCall(): Cannot store function name"));
            return setArrayResult(table, cx, {*exitName}, rval) || fail(QString::fromLatin1(kArrayFailure));
        }
        const PendingCall call = host.record->read();
        const auto name = table.textValue(cx, QString::fromLatin1(call.name));
        if (!name)
            return fail(QStringLiteral("getFlashFunctionToCall(): Cannot store function name"));

        std::vector<jsval> items{*name};
        if (call.name == kProfileCall) {
            const int32_t width = call.args.size() > 0 ? call.args[0] : 0;
            const int32_t height = call.args.size() > 1 ? call.args[1] : 0;
            const int32_t quality = call.args.size() > 2 ? call.args[2] : 0;
            const QString path = profilePath();
            const ProfileWrite written = writeProfile(path, profileText(host.tempBase, width, height, quality));
            if (written != ProfileWrite::Written)
                return fail(profileWriteMessage(written));
            const auto uri = table.textValue(cx, profileUri(path));
            if (!uri)
                return fail(QStringLiteral("createBaseProfile(): Cannot store profile file name"));
            items.push_back(*uri);
        } else {
            for (int32_t arg : call.args)
                items.push_back(intToValue(arg));
        }
        if (!setArrayResult(table, cx, items, rval))
            return fail(QString::fromLatin1(kArrayFailure));
        if (call.name == "exit")
            endRun();
        return true;
    });
}

JSBool returnFromFlashFunction(JSContext *, JSObject *, uint32_t, jsval *, jsval *)
{
    if (HostState &host = hostState(); host.record)
        host.record->acknowledge();
    return 1;
}

} // namespace extension
