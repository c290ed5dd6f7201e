// Kavrel.so as the authoring tool and the wizard see it: loaded with dlopen
// into forked host processes that build the host table as the interface
// gives it, with a fake wizard program started by runUI.
#include "core/Global.h"
#include "core/Startup.h"
#include "engines/authoring/ExtensibilityApi.h"
#include "platform/Endpoint.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Readable failures.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

using extensibility::intToValue;
using extensibility::kFalse;
using extensibility::kTrue;

namespace {

// The host's values: integers encoded, strings and arrays objects it owns.
struct Value {
    bool isArray = false;
    std::u16string text;
    std::vector<jsval> items;
};
std::deque<Value> heap;
Value libraryObject;
struct Defined {
    QString name;
    JSNative fn;
    uint32_t nargs;
    JSObject *obj;
};
std::vector<Defined> defined;

Value *object(jsval v)
{
    return v == 0 || extensibility::isIntValue(v) || v == kTrue || v == kFalse ? nullptr : reinterpret_cast<Value *>(v);
}
jsval str(const QString &s)
{
    heap.push_back({false, s.toStdU16String(), {}});
    return reinterpret_cast<jsval>(&heap.back());
}
jsval arr(std::vector<jsval> items)
{
    heap.push_back({true, {}, std::move(items)});
    return reinterpret_cast<jsval>(&heap.back());
}
jsval num(int32_t n) { return intToValue(n); }

QString describe(jsval v)
{
    if (v == kTrue || v == kFalse)
        return v == kTrue ? "true" : "false";
    if (extensibility::isIntValue(v))
        return QString::number(extensibility::valueToInt(v));
    const Value *o = object(v);
    if (!o)
        return "?";
    if (!o->isArray)
        return QString::fromStdU16String(o->text);
    QStringList parts;
    for (jsval item : o->items)
        parts << describe(item);
    return "[" + parts.join("|") + "]";
}

extern "C" {
JSBool hostDefine(JSObject *obj, const uint16_t *name, JSNative fn, uint32_t nargs)
{
    defined.push_back({QString::fromUtf16(reinterpret_cast<const char16_t *>(name)), fn, nargs, obj});
    return 1;
}
uint16_t *hostToString(JSContext *, jsval v, uint32_t *length)
{
    Value *o = object(v);
    if (!o || o->isArray)
        return nullptr;
    *length = uint32_t(o->text.size());
    return reinterpret_cast<uint16_t *>(o->text.data());
}
JSBool hostToInteger(JSContext *, jsval v, int32_t *out)
{
    if (!extensibility::isIntValue(v))
        return 0;
    *out = extensibility::valueToInt(v);
    return 1;
}
JSBool hostToObject(JSContext *, jsval v, JSObject **out)
{
    Value *o = object(v);
    if (!o || !o->isArray)
        return 0;
    *out = reinterpret_cast<JSObject *>(o);
    return 1;
}
JSBool hostStringToValue(JSContext *, const uint16_t *chars, uint32_t length, jsval *out)
{
    *out = str(QString::fromUtf16(reinterpret_cast<const char16_t *>(chars), length));
    return 1;
}
JSObject *hostNewArray(JSContext *, uint32_t length, jsval *)
{
    return reinterpret_cast<JSObject *>(object(arr(std::vector<jsval>(length, num(0)))));
}
int32_t hostArrayLength(JSContext *, JSObject *a)
{
    auto *o = reinterpret_cast<Value *>(a);
    return o && o->isArray ? int32_t(o->items.size()) : -1;
}
JSBool hostGetElement(JSContext *, JSObject *a, uint32_t i, jsval *out)
{
    auto *o = reinterpret_cast<Value *>(a);
    if (!o->isArray || i >= o->items.size())
        return 0;
    *out = o->items[i];
    return 1;
}
JSBool hostSetElement(JSContext *, JSObject *a, uint32_t i, jsval *in)
{
    auto *o = reinterpret_cast<Value *>(a);
    if (o->items.size() <= i)
        o->items.resize(i + 1, num(0));
    o->items[i] = *in;
    return 1;
}
}

struct Table {
    void *entries[extensibility::SlotCount] = {};
    Table()
    {
        using namespace extensibility;
        entries[LibObj] = &libraryObject;
        entries[DefineFunction] = reinterpret_cast<void *>(&hostDefine);
        entries[ValueToString] = reinterpret_cast<void *>(&hostToString);
        entries[ValueToInteger] = reinterpret_cast<void *>(&hostToInteger);
        entries[ValueToObject] = reinterpret_cast<void *>(&hostToObject);
        entries[StringToValue] = reinterpret_cast<void *>(&hostStringToValue);
        entries[NewArrayObject] = reinterpret_cast<void *>(&hostNewArray);
        entries[GetArrayLength] = reinterpret_cast<void *>(&hostArrayLength);
        entries[GetElement] = reinterpret_cast<void *>(&hostGetElement);
        entries[SetElement] = reinterpret_cast<void *>(&hostSetElement);
    }
};

// The library as a host process holds it.
struct Host {
    explicit Host(const QString &library, Table table = {}, unsigned size = sizeof(Table::entries))
    {
        handle = ::dlopen(QFile::encodeName(library).constData(), RTLD_NOW | RTLD_LOCAL);
        if (auto init = handle ? reinterpret_cast<MM_InitWrapperProc>(::dlsym(handle, "MM_InitWrapper")) : nullptr)
            init(table.entries, size);
    }
    // As a host that unloads its extensions before it ends; without this the
    // record's last user would be a process gone without closing it.
    ~Host()
    {
        if (handle)
            ::dlclose(handle);
    }
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;
    // The native's success, then its result ("-" when it set none).
    QString call(const QString &name, std::vector<jsval> args)
    {
        for (const Defined &d : defined) {
            if (d.name == name) {
                jsval result = 0;
                const JSBool ok = d.fn(nullptr, d.obj, uint32_t(args.size()), args.data(), &result);
                return QString(ok ? "ok " : "failed ") + (result ? describe(result) : "-");
            }
        }
        return "undefined";
    }
    void *handle = nullptr;
};

void append(const QString &path, const QString &line)
{
    QFile file(path);
    if (file.open(QIODevice::Append))
        file.write(line.toUtf8() + '\n');
}

QStringList lines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList all = QString::fromUtf8(file.readAll()).split('\n');
    if (!all.isEmpty() && all.last().isEmpty())
        all.removeLast();
    return all;
}

bool waitUntil(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QThread::msleep(5);
    }
    return true;
}

QString shmPath()
{
    return QStringLiteral("/dev/shm/TessoryMemoryMappedFile.%1").arg(::geteuid());
}

// The record's bytes read straight from the shared memory object.
struct RecordView {
    RecordView()
    {
        const int fd = ::open(QFile::encodeName(shmPath()).constData(), O_RDONLY);
        if (fd < 0)
            return;
        void *p = ::mmap(nullptr, 52, PROT_READ, MAP_SHARED, fd, 0);
        ::close(fd);
        bytes = p == MAP_FAILED ? nullptr : static_cast<const char *>(p);
    }
    ~RecordView()
    {
        if (bytes)
            ::munmap(const_cast<char *>(bytes), 52);
    }
    template <typename T>
    T at(int offset, std::memory_order order = std::memory_order_relaxed) const
    {
        if (!bytes)
            return T();
        return std::atomic_ref<T>(*reinterpret_cast<T *>(const_cast<char *>(bytes) + offset)).load(order);
    }
    QByteArray name() const
    {
        QByteArray n;
        for (int i = 4; i < 36 && at<char>(i); ++i)
            n += at<char>(i);
        return n;
    }
    const char *bytes = nullptr;
};

class ExtensionLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        bin = m_root.path() + "/bin ä&'x/";
        ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(m_root.path() + "/tmp"));
        ASSERT_TRUE(QFile::copy(KAVREL_SO_PATH, bin + "Kavrel.so"));
        ASSERT_TRUE(QFile::copy(FAKE_WIZARD_PATH, bin + "Kavrel"));
        ::setenv("TMPDIR", QFile::encodeName(m_root.path() + "/tmp").constData(), 1);
        ::unsetenv("TESSORY_FAKE_CALLS");
        ::unsetenv("TESSORY_FAKE_HOLD");
        log = m_root.path() + "/log";
        err = m_root.path() + "/stderr";
        tempFolder = m_root.path() + QStringLiteral("/tmp/tessory-%1/").arg(::geteuid());
    }
    void TearDown() override
    {
        for (pid_t pid : m_children) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (const pid_t pid = wizardPid(); pid > 0)
            ::kill(pid, SIGKILL);
    }

    // A host process running body; its standard error goes to err.
    pid_t host(const std::function<int()> &body)
    {
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            // The wizards it starts inherit these; none may hold the runner's pipes.
            std::freopen(QFile::encodeName(err).constData(), "a", stderr);
            std::freopen("/dev/null", "w", stdout);
            const int rc = body();
            std::fflush(nullptr);
            ::_exit(rc);
        }
        if (pid > 0)
            m_children.push_back(pid);
        return pid;
    }
    int finish(pid_t pid, int ms = 20000)
    {
        if (pid <= 0)
            return -3;
        int status = 0;
        const bool ended = waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, ms);
        std::erase(m_children, pid);
        if (!ended) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    }
    void kill(pid_t pid)
    {
        if (pid <= 0)
            return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        std::erase(m_children, pid);
    }
    QStringList wizardArgv() const
    {
        QFile file(bin + "argv");
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll()).split(QChar(0), Qt::SkipEmptyParts);
    }
    pid_t wizardPid() const { return lines(bin + "pid").value(0).toInt(); }
    // Never 0 or less: kill() would take those for process groups.
    void killWizard()
    {
        ASSERT_TRUE(waitUntil([&] { return wizardPid() > 0; }));
        ::kill(wizardPid(), SIGKILL);
        // Not our child: the kernel ends it in its own time.
        EXPECT_TRUE(waitUntil([&] { return !platform::processAlive(wizardPid()); }));
    }
    QStringList errors() const
    {
        QStringList all = lines(err);
        all.removeAll("MM_Init(): Cannot get Flash handle");
        return all;
    }
    // Serves the wizard's calls until "exit", logging each.
    void serve(Host &h, const std::function<void(const QString &)> &onCall = {})
    {
        for (;;) {
            const QString got = h.call("getFlashFunctionToCall", {});
            append(log, got);
            if (onCall)
                onCall(got);
            h.call("returnFromFlashFunction", {});
            if (!got.startsWith("ok [") || got.startsWith("ok [exit"))
                return;
        }
    }
    static jsval scenes()
    {
        return arr({arr({str("Scene \"1\""), num(10), arr({num(0), num(5)}),
                         arr({str("intro"), num(0), num(5), str("mid"), num(5), num(5), str("stray")})}),
                    arr({str("Zwei"), num(3), arr({}), arr({})})});
    }
    // A host that starts the wizard and never serves it; returns once the
    // wizard's first call is pending.
    pid_t hostLeavingACallPending()
    {
        const pid_t pid = host([&] {
            Host h(bin + "Kavrel.so");
            append(log, runUI(h, document));
            for (;;)
                ::pause();
            return 0;
        });
        EXPECT_TRUE(waitUntil([&] { return RecordView().name() == "getFrame"; }));
        return pid;
    }
    QString runUI(Host &h, const QString &document, jsval sceneArray = scenes())
    {
        return h.call("runUI", {str(document), num(550), num(400), sceneArray, num(1)});
    }

    QString bin, log, err, tempFolder;
    const QString document = QStringLiteral("/home/me/My \"best\" & 'ä' movie.fla");

private:
    QTemporaryDir m_root;
    std::vector<pid_t> m_children;
};

TEST_F(ExtensionLibrary, ExportsOnlyItsTwoEntries)
{
    QProcess nm;
    nm.start("nm", {"-D", "--defined-only", bin + "Kavrel.so"});
    ASSERT_TRUE(nm.waitForFinished());
    QStringList names;
    for (const QString &line : QString::fromUtf8(nm.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        names << line.section(' ', 2);
    names.sort();
    EXPECT_EQ(names, (QStringList{"CallFlashFunction", "MM_InitWrapper"}));
}

TEST_F(ExtensionLibrary, RegistersItsFunctionsThroughTheTable)
{
    Table noDefine;
    noDefine.entries[extensibility::DefineFunction] = nullptr;
    const unsigned slot = sizeof(void *);
    struct Case {
        Table table;
        unsigned size;
        QStringList expected;
    } cases[] = {
        {Table(), 18 * slot,
         {"checkVersion 2", "runUI 5", "getFlashFunctionToCall 0", "returnFromFlashFunction 0", "ok true"}},
        {noDefine, 18 * slot, {"undefined"}},
        // The entries past the size are null, so integers cannot be read.
        {Table(), 2 * slot,
         {"checkVersion 2", "runUI 5", "getFlashFunctionToCall 0", "returnFromFlashFunction 0", "failed -"}},
        // Half a slot is no slot.
        {Table(), slot + slot / 2, {"undefined"}},
    };
    for (const Case &c : cases) {
        QFile::remove(log);
        const pid_t pid = host([&] {
            Host h(bin + "Kavrel.so", c.table, c.size);
            for (const Defined &d : defined)
                append(log, QStringLiteral("%1 %2").arg(d.name).arg(d.nargs) + (d.obj == (void *)&libraryObject ? "" : " on another object"));
            append(log, h.call("checkVersion", {num(1), num(0)}));
            return 0;
        });
        EXPECT_EQ(finish(pid), 0);
        EXPECT_EQ(lines(log), c.expected) << c.size;
    }
}

TEST_F(ExtensionLibrary, CheckVersionComparesBothFilesAndReportsEachFault)
{
    const pid_t pid = host([&] {
        Host h(bin + "Kavrel.so");
        for (const auto &args : std::vector<std::vector<jsval>>{
                 {num(1), num(0)}, {num(1), num(1)}, {num(2), num(0)}, {num(1)}, {str("1"), num(0)}, {num(1), str("0")}})
            append(log, h.call("checkVersion", args));
        QFile::rename(bin + "Kavrel", bin + "Kavrel.away");
        append(log, h.call("checkVersion", {num(1), num(0)}));
        return 0;
    });
    EXPECT_EQ(finish(pid), 0);
    EXPECT_EQ(lines(log), (QStringList{"ok true", "ok false", "ok false", "failed -", "failed -", "failed -", "failed -"}));
    const QString mismatch[] = {"File version mismatch.", "Please download and install a fresh copy of Tessory."};
    EXPECT_EQ(errors(), (QStringList{mismatch[0], mismatch[1], mismatch[0], mismatch[1],
                                     "checkVersion(): Actual number of parameters differs from declared",
                                     "checkVersion(): Actual type of parameter 1 differs from declared",
                                     "checkVersion(): Actual type of parameter 2 differs from declared",
                                     "checkVersion(): Cannot get version of EXE"}));
}

TEST_F(ExtensionLibrary, RunUIRefusesBadArgumentsWithTheirMessages)
{
    const QString longName(300, QLatin1Char('n'));
    auto scene = [](jsval name, jsval frames, jsval keys, jsval labels) {
        return arr({arr({name, frames, keys, labels})});
    };
    struct Case {
        std::function<std::vector<jsval>()> args;
        QString message;
    } cases[] = {
        {[] { return std::vector<jsval>{str("a"), num(1), num(1), arr({})}; }, "Actual number of parameters differs from declared"},
        {[] { return std::vector<jsval>{num(0), num(1), num(1), arr({}), num(0)}; }, "Actual type of parameter 1 differs from declared"},
        {[] { return std::vector<jsval>{str("a"), str("1"), num(1), arr({}), num(0)}; }, "Actual type of parameter 2 differs from declared"},
        {[] { return std::vector<jsval>{str("a"), num(1), str("1"), arr({}), num(0)}; }, "Actual type of parameter 3 differs from declared"},
        {[] { return std::vector<jsval>{str("a"), num(1), num(1), num(7), num(0)}; }, "Actual type of parameter 4 differs from declared"},
        {[] { return std::vector<jsval>{str("a"), num(1), num(1), arr({}), str("0")}; }, "Actual type of parameter 5 differs from declared"},
        {[] { return std::vector<jsval>{str("a"), num(1), num(1), arr({num(3)}), num(0)}; }, "Cannot convert secene array"},
        {[] { return std::vector<jsval>{str("a"), num(1), num(1), arr({arr({str("s")})}), num(0)}; }, "Cannot get number of frames in the scene"},
        {[&] { return std::vector<jsval>{str("a"), num(1), num(1), scene(num(5), num(1), arr({}), arr({})), num(0)}; }, "Cannot convert scene name"},
        {[&] { return std::vector<jsval>{str("a"), num(1), num(1), scene(str(longName), num(1), arr({}), arr({})), num(0)}; }, "Cannot convert scene name"},
        {[&] { return std::vector<jsval>{str("a"), num(1), num(1), scene(str("s"), str("1"), arr({}), arr({})), num(0)}; }, "Cannot convert number of frames in the scene"},
        {[&] { return std::vector<jsval>{str("a"), num(1), num(1), scene(str("s"), num(1), num(3), arr({})), num(0)}; }, "Cannot convert key frames"},
        {[&] { return std::vector<jsval>{str("a"), num(1), num(1), scene(str("s"), num(1), arr({str("x")}), arr({})), num(0)}; }, "Cannot convert key frame"},
        {[&] { return std::vector<jsval>{str("a"), num(1), num(1), scene(str("s"), num(1), arr({}), str("l")), num(0)}; }, "Cannot convert frame labels"},
        {[&] { return std::vector<jsval>{str("a"), num(1), num(1), scene(str("s"), num(1), arr({}), arr({num(1), num(0), num(1)})), num(0)}; }, "Cannot convert frame label"},
        {[&] { return std::vector<jsval>{str("a"), num(1), num(1), scene(str("s"), num(1), arr({}), arr({str("l"), str("0"), num(1)})), num(0)}; }, "Cannot convert frame label start index"},
        {[&] { return std::vector<jsval>{str("a"), num(1), num(1), scene(str("s"), num(1), arr({}), arr({str("l"), num(0), str("1")})), num(0)}; }, "Cannot convert frame label duration"},
    };
    const pid_t pid = host([&] {
        Host h(bin + "Kavrel.so");
        for (const Case &c : cases)
            append(log, h.call("runUI", c.args()));
        return 0;
    });
    EXPECT_EQ(finish(pid), 0);
    QStringList expected;
    for (const Case &c : cases)
        expected << "runUI(): " + c.message;
    EXPECT_EQ(errors(), expected);
    EXPECT_EQ(lines(log), QStringList(std::size(cases), "failed -"));
    EXPECT_FALSE(QFile::exists(bin + "argv")) << "no wizard may start";
}

TEST_F(ExtensionLibrary, ServesTheWizardsCallsToTheEnd)
{
    ::setenv("TESSORY_FAKE_CALLS", "getFrame 12;setScene 1;ping;setImageResolutionAndQuality 400 300 50", 1);
    const QString profileCopy = log + ".profile";
    const pid_t pid = host([&] {
        Host h(bin + "Kavrel.so");
        append(log, h.call("checkVersion", {num(1), num(0)}));
        append(log, runUI(h, document));
        append(log, "again " + h.call("checkVersion", {num(1), num(0)}));
        serve(h, [&](const QString &got) {
            if (got.startsWith("ok [setImage"))
                QFile::copy(got.section('|', 1).chopped(1).mid(7), profileCopy);
            if (got.startsWith("ok [exit"))
                append(log, QStringLiteral("profile %1 mark %2")
                                .arg(QFile::exists(tempFolder + "VELUMOR.xml"))
                                .arg(RecordView().at<uint32_t>(0)));
        });
        append(log, "after " + h.call("checkVersion", {num(1), num(0)}));
        return 0;
    });
    EXPECT_EQ(finish(pid), 0);
    const QString uri = "file://" + tempFolder + "VELUMOR.xml";
    EXPECT_EQ(lines(log), (QStringList{"ok true", "ok -", "again ok false", "ok [getFrame|12]", "ok [setScene|1]",
                                       "ok [ping]", "ok [setImageResolutionAndQuality|" + uri + "]", "ok [exit]",
                                       "profile 0 mark 0", "after ok true"}));
    EXPECT_EQ(errors(), QStringList());
    EXPECT_TRUE(waitUntil([&] { return lines(bin + "progress").contains("unloaded"); }));

    const QStringList argv = wizardArgv();
    ASSERT_EQ(argv.size(), 7);
    EXPECT_EQ(argv.mid(0, 4), (QStringList{bin + "Kavrel", document, "550", "400"}));
    EXPECT_EQ(argv.mid(5), (QStringList{"1", QString::number(pid)}));
    const TSceneInfoArr read = ParseSceneList(argv[4]);
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(read[0].Name, "Scene \"1\"");
    EXPECT_EQ(read[0].FrameLabels.value(0), "intro");
    EXPECT_EQ(read[0].FrameLabels.value(9), "mid");
    EXPECT_EQ(read[1].FrameCount, 3);
    EXPECT_EQ(argv[4].count(QChar(0x04)), 2 + 6) << "the seventh label element is not read";

    const QStringList text = lines(profileCopy);
    ASSERT_EQ(text.size(), 27);
    EXPECT_EQ(text[15], "\t\t\t<jpegFileName>" + tempFolder + "VELUMOR.jpg</jpegFileName>");
    EXPECT_EQ(text[18] + text[19] + text[23], "\t\t\t<Width>400</Width>\t\t\t<Height>300</Height>\t\t\t<Quality>50</Quality>");
}

TEST_F(ExtensionLibrary, RecordLayoutWriteOrderAndMode)
{
    ::setenv("TESSORY_FAKE_CALLS", "setImageResolutionAndQuality 400 300 50", 1);
    const QString go = log + ".go";
    const pid_t pid = host([&] {
        Host h(bin + "Kavrel.so");
        append(log, runUI(h, document));
        waitUntil([&] { return QFile::exists(go); });
        serve(h);
        return 0;
    });
    ASSERT_TRUE(waitUntil([&] { return lines(log).contains("ok -"); }));
    RecordView record;
    ASSERT_TRUE(record.bytes);
    // Whenever the name shows, the count and the arguments already do.
    bool orderKept = true;
    ASSERT_TRUE(waitUntil([&] {
        if (record.at<char>(4, std::memory_order_acquire) == 0)
            return false;
        orderKept = record.at<uint32_t>(48) == 3 && record.at<int32_t>(36) == 400 && record.at<int32_t>(40) == 300
            && record.at<int32_t>(44) == 50;
        return true;
    }));
    EXPECT_TRUE(orderKept);
    EXPECT_EQ(record.at<uint32_t>(0), uint32_t(pid));
    EXPECT_EQ(record.name(), "setImageResolutionAndQuality");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(shmPath()).constData(), &st), 0);
    EXPECT_EQ(st.st_size, 52);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    QFile(go).open(QIODevice::WriteOnly);
    EXPECT_EQ(finish(pid), 0);
    EXPECT_TRUE(waitUntil([&] { return !QFile::exists(shmPath()); })) << "the last user removes the record";
}

TEST_F(ExtensionLibrary, HostSeesTheWizardGoWithinASecond)
{
    ::setenv("TESSORY_FAKE_HOLD", "1", 1);
    const pid_t pid = host([&] {
        Host h(bin + "Kavrel.so");
        append(log, runUI(h, document, arr({})));
        QElapsedTimer clock;
        clock.start();
        const QString got = h.call("getFlashFunctionToCall", {});
        append(log, got + QStringLiteral(" after %1 ms").arg(clock.elapsed()));
        append(log, h.call("checkVersion", {num(1), num(0)}));
        return 0;
    });
    ASSERT_TRUE(waitUntil([&] { return lines(log).contains("ok -"); }));
    const QStringList argv = wizardArgv();
    EXPECT_EQ(argv.size(), 6) << "an empty scene list is no argument";
    EXPECT_FALSE(argv.join("").contains(QChar(0x03)));
    QThread::msleep(300);
    QElapsedTimer clock;
    clock.start();
    killWizard();
    EXPECT_EQ(finish(pid), 0);
    EXPECT_LT(clock.elapsed(), 1500);
    const QStringList got = lines(log);
    ASSERT_EQ(got.size(), 3);
    EXPECT_TRUE(got[1].startsWith("ok [exit] after"));
    EXPECT_EQ(got[2], "ok true") << "the dead run no longer refuses a new one";
    EXPECT_EQ(errors(), QStringList{"The Tessory wizard has ended unexpectedly; the export to PDF is stopped."});
}

TEST_F(ExtensionLibrary, WizardSeesTheHostGoAndTheNextRunWorks)
{
    ::setenv("TESSORY_FAKE_CALLS", "getFrame 5;getFrame 6", 1);
    const pid_t pid = hostLeavingACallPending();
    QElapsedTimer clock;
    clock.start();
    kill(pid);
    ASSERT_TRUE(waitUntil([&] { return lines(bin + "progress").contains("unloaded"); }, 3000));
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(lines(bin + "progress"), (QStringList{"returned getFrame", "returned getFrame", "unloaded"}));
    EXPECT_EQ(lines(bin + "stderr").join("\n").toStdString(), QStringList{"The authoring tool has closed, so Tessory cannot get frames from it "
                                                 "any more; Tessory closes now."}.join("\n").toStdString());
}

TEST_F(ExtensionLibrary, RecordLeftByKilledProcessesIsStartedAfresh)
{
    ::setenv("TESSORY_FAKE_CALLS", "getFrame 5", 1);
    const pid_t dying = hostLeavingACallPending();
    killWizard();
    kill(dying);
    ASSERT_EQ(RecordView().at<uint32_t>(0), uint32_t(dying)) << "the record stays as the killed run left it";

    QFile::remove(bin + "progress");
    QFile::remove(log);
    ::setenv("TESSORY_FAKE_CALLS", "getFrame 3", 1);
    const pid_t pid = host([&] {
        Host h(bin + "Kavrel.so");
        append(log, h.call("checkVersion", {num(1), num(0)}));
        append(log, runUI(h, document));
        serve(h);
        return 0;
    });
    EXPECT_EQ(finish(pid), 0);
    EXPECT_EQ(lines(log), (QStringList{"ok true", "ok -", "ok [getFrame|3]", "ok [exit]"}));
}

} // namespace
