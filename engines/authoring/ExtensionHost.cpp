#include "engines/authoring/ExtensionHost.h"

#include "platform/Module.h"

#include <QDir>
#include <QFileInfo>
#include <QJSEngine>
#include <QThread>

#include <cmath>
#include <limits>

namespace authoring {

using namespace extensibility;

namespace {

ExtensionHost *g_host = nullptr;

// Names end at their zero; a name without one within this bound is refused.
constexpr int kMaxNameLength = 1024;

// Each slot function starts here: no host, another thread or an unknown
// value all end in failure.
ValueModel *model()
{
    return g_host && g_host->onOwnThread() ? &g_host->values() : nullptr;
}

std::optional<QJSValue> valueOf(jsval v)
{
    ValueModel *m = model();
    return m ? m->fromJsval(v) : std::nullopt;
}

std::optional<QJSValue> objectOf(const JSObject *object)
{
    ValueModel *m = model();
    return m ? m->objectOf(object) : std::nullopt;
}

// Text up to its first zero within length: extensions count the zero in.
QString textOf(const uint16_t *chars, uint32_t length)
{
    uint32_t n = 0;
    while (n < length && chars[n] != 0)
        ++n;
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(chars), qsizetype(n));
}

// Primitives only: a script that hands an array or nothing where text or a
// number belongs made a mistake that a conversion would hide.
bool isPrimitive(const QJSValue &v)
{
    return v.isString() || v.isNumber() || v.isBool();
}

std::optional<double> numberOf(jsval v)
{
    const auto value = valueOf(v);
    if (!value || !isPrimitive(*value) || (value->isString() && value->toString().trimmed().isEmpty()))
        return std::nullopt;
    const double d = value->toNumber();
    if (!std::isfinite(d))
        return std::nullopt;
    return d;
}

JSBool store(const QJSValue &value, jsval *out)
{
    ValueModel *m = model();
    if (!m || !out)
        return 0;
    *out = m->toJsval(value);
    return 1;
}

JSBool slotDefineFunction(JSObject *obj, const uint16_t *name, JSNative fn, uint32_t nargs)
{
    return g_host && model() ? g_host->defineFunction(obj, name, fn, nargs) : 0;
}

uint16_t *slotValueToString(JSContext *, jsval v, uint32_t *length)
{
    const auto value = valueOf(v);
    if (!value || !isPrimitive(*value))
        return nullptr;
    const QString text = value->toString();
    if (length)
        *length = uint32_t(text.size());
    return model()->keep(text);
}

uint8_t *slotValueToBytes(JSContext *, jsval v, uint32_t *length)
{
    const auto value = valueOf(v);
    if (!value || !isPrimitive(*value))
        return nullptr;
    const QByteArray bytes = value->toString().toUtf8();
    if (length)
        *length = uint32_t(bytes.size());
    return model()->keep(bytes);
}

JSBool slotValueToInteger(JSContext *, jsval v, int32_t *out)
{
    const auto d = numberOf(v);
    if (!d || !out)
        return 0;
    const double rounded = std::floor(*d + 0.5);
    if (rounded < std::numeric_limits<int32_t>::min() || rounded > std::numeric_limits<int32_t>::max())
        return 0;
    *out = int32_t(rounded);
    return 1;
}

JSBool slotValueToDouble(JSContext *, jsval v, double *out)
{
    const auto d = numberOf(v);
    if (!d || !out)
        return 0;
    *out = *d;
    return 1;
}

JSBool slotValueToBoolean(JSContext *, jsval v, JSBool *out)
{
    const auto value = valueOf(v);
    if (!value || value->isNull() || !out)
        return 0;
    *out = value->toBool() ? 1 : 0;
    return 1;
}

JSBool slotValueToObject(JSContext *, jsval v, JSObject **out)
{
    const auto value = valueOf(v);
    if (!value || !value->isObject() || !out)
        return 0;
    *out = reinterpret_cast<JSObject *>(v);
    return 1;
}

JSBool slotStringToValue(JSContext *, const uint16_t *chars, uint32_t length, jsval *out)
{
    if (!chars && length > 0)
        return 0;
    return store(QJSValue(chars ? textOf(chars, length) : QString()), out);
}

JSBool slotBytesToValue(JSContext *, const uint8_t *bytes, uint32_t length, jsval *out)
{
    if (!bytes && length > 0)
        return 0;
    const auto *text = reinterpret_cast<const char *>(bytes);
    return store(QJSValue(QString::fromUtf8(text, text ? qsizetype(qstrnlen(text, length)) : 0)), out);
}

JSBool slotDoubleToValue(JSContext *, double d, jsval *out)
{
    return store(QJSValue(d), out);
}

JSObject *slotNewObject(JSContext *)
{
    ValueModel *m = model();
    return m ? reinterpret_cast<JSObject *>(m->toJsval(m->engine().newObject())) : nullptr;
}

JSObject *slotNewArrayObject(JSContext *, uint32_t length, jsval *initial)
{
    ValueModel *m = model();
    if (!m)
        return nullptr;
    QJSValue array = m->engine().newArray(length);
    for (uint32_t i = 0; initial && i < length; ++i) {
        const auto element = m->fromJsval(initial[i]);
        if (!element)
            return nullptr;
        array.setProperty(i, *element);
    }
    return reinterpret_cast<JSObject *>(m->toJsval(array));
}

int32_t slotGetArrayLength(JSContext *, JSObject *obj)
{
    const auto array = objectOf(obj);
    if (!array || !array->isArray())
        return -1;
    const double length = array->property(QStringLiteral("length")).toNumber();
    return length <= std::numeric_limits<int32_t>::max() ? int32_t(length) : -1;
}

JSBool slotGetElement(JSContext *, JSObject *obj, uint32_t index, jsval *out)
{
    const auto object = objectOf(obj);
    return object ? store(object->property(index), out) : 0;
}

JSBool slotSetElement(JSContext *, JSObject *obj, uint32_t index, jsval *in)
{
    auto object = objectOf(obj);
    const auto value = in ? valueOf(*in) : std::nullopt;
    if (!object || !value)
        return 0;
    object->setProperty(index, *value);
    return 1;
}

JSBool slotExecuteScript(JSContext *, JSObject *, const uint16_t *script, uint32_t length, jsval *rval)
{
    ValueModel *m = model();
    if (!m || !script)
        return 0;
    const QJSValue result = m->engine().evaluate(textOf(script, length), QStringLiteral("extension"));
    if (result.isError()) {
        m->report() = result.toString();
        return 0;
    }
    return rval ? store(result, rval) : 1;
}

JSBool slotReportError(JSContext *, const uint16_t *message, uint32_t length)
{
    ValueModel *m = model();
    if (!m || !message)
        return 0;
    m->report() = textOf(message, length);
    return 1;
}

} // namespace

struct ExtensionHost::Library {
    QString name;
    std::unique_ptr<platform::Module> module;
    std::array<void *, SlotCount> table{};
};

ExtensionHost::ExtensionHost(QJSEngine &engine, QObject *parent)
    : QObject(parent), m_engine(engine), m_values(engine)
{
    Q_ASSERT(!g_host);
    g_host = this;
    // The script function a native is reached through.
    m_makeFunction = m_engine.evaluate(QStringLiteral(
        "(function (host, id) { return function () {"
        " return host.callNative(id, Array.prototype.slice.call(arguments), this); }; })"));
}

ExtensionHost::~ExtensionHost()
{
    unloadAll();
    g_host = nullptr;
}

ExtensionHost *ExtensionHost::current()
{
    return g_host;
}

bool ExtensionHost::onOwnThread() const
{
    return QThread::currentThread() == thread();
}

std::array<void *, SlotCount> ExtensionHost::table(JSObject *libObj) const
{
    return {libObj,
            reinterpret_cast<void *>(&slotDefineFunction),
            reinterpret_cast<void *>(&slotValueToString),
            reinterpret_cast<void *>(&slotValueToBytes),
            reinterpret_cast<void *>(&slotValueToInteger),
            reinterpret_cast<void *>(&slotValueToDouble),
            reinterpret_cast<void *>(&slotValueToBoolean),
            reinterpret_cast<void *>(&slotValueToObject),
            reinterpret_cast<void *>(&slotStringToValue),
            reinterpret_cast<void *>(&slotBytesToValue),
            reinterpret_cast<void *>(&slotDoubleToValue),
            reinterpret_cast<void *>(&slotNewObject),
            reinterpret_cast<void *>(&slotNewArrayObject),
            reinterpret_cast<void *>(&slotGetArrayLength),
            reinterpret_cast<void *>(&slotGetElement),
            reinterpret_cast<void *>(&slotSetElement),
            reinterpret_cast<void *>(static_cast<ExecuteScriptProc>(&slotExecuteScript)),
            reinterpret_cast<void *>(static_cast<ReportErrorProc>(&slotReportError))};
}

QStringList ExtensionHost::loadFolder(const QString &folder)
{
    QStringList problems;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.so")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo &file : files) {
        QString error;
        if (!load(file.absoluteFilePath(), &error) && !error.isEmpty())
            problems << error;
    }
    return problems;
}

bool ExtensionHost::load(const QString &path, QString *error)
{
    QString why;
    auto library = std::make_unique<Library>();
    library->module = platform::Module::load(path, &why);
    if (!library->module) {
        *error = QStringLiteral("The extension \"%1\" cannot be loaded: %2.").arg(path, why);
        return false;
    }
    const auto init = reinterpret_cast<MM_InitWrapperProc>(library->module->symbol("MM_InitWrapper"));
    if (!init) {
        error->clear(); // not an extension: unloaded again, without a word
        return false;
    }
    library->name = QFileInfo(path).completeBaseName();
    QJSValue global = m_engine.globalObject();
    if (global.hasProperty(library->name)) {
        *error = QStringLiteral("The extension \"%1\" is not loaded: the name %2 is taken.").arg(path, library->name);
        return false;
    }
    const QJSValue object = m_engine.newObject();
    global.setProperty(library->name, object);
    auto *libObj = reinterpret_cast<JSObject *>(m_values.toLastingJsval(object));
    library->table = table(libObj);
    m_initialising = library->name;
    {
        ValueModel::Scope scope(m_values);
        init(library->table.data(), unsigned(library->table.size() * sizeof(void *)));
    }
    m_initialising.clear();
    m_libraries.push_back(std::move(library));
    return true;
}

QStringList ExtensionHost::loadedNames() const
{
    QStringList names;
    for (const auto &library : m_libraries)
        names << library->name;
    return names;
}

void ExtensionHost::unloadAll()
{
    for (Native &native : m_natives)
        native.alive = false;
    // Last loaded first, as a library may use what an earlier one set up.
    while (!m_libraries.empty())
        m_libraries.pop_back();
}

JSBool ExtensionHost::defineFunction(JSObject *object, const uint16_t *name, JSNative native, uint32_t nargs)
{
    auto target = m_values.objectOf(object);
    if (!target || !name || !native)
        return 0;
    const QString text = textOf(name, kMaxNameLength);
    if (text.isEmpty() || text.size() == kMaxNameLength)
        return 0;
    const QString owner = m_initialising.isEmpty() ? QString() : m_initialising + u'.';
    m_natives.push_back({native, owner + text, nargs});
    target->setProperty(text, m_makeFunction.call({m_engine.newQObject(this), int(m_natives.size() - 1)}));
    return 1;
}

QJSValue ExtensionHost::callNative(int id, const QJSValue &arguments, const QJSValue &self)
{
    if (id < 0 || size_t(id) >= m_natives.size() || !m_natives[size_t(id)].alive) {
        m_engine.throwError(QStringLiteral("This function's extension is no longer loaded."));
        return {};
    }
    const Native native = m_natives[size_t(id)];
    ValueModel::Scope scope(m_values);
    const uint32_t argc = arguments.property(QStringLiteral("length")).toUInt();
    std::vector<jsval> argv(std::max(argc, native.nargs), m_values.undefinedValue());
    for (uint32_t i = 0; i < argc; ++i)
        argv[i] = m_values.toJsval(arguments.property(i));
    auto *selfObject = self.isObject() ? reinterpret_cast<JSObject *>(m_values.toJsval(self)) : nullptr;
    jsval rval = m_values.undefinedValue();
    const JSBool ok = native.function(reinterpret_cast<JSContext *>(this), selfObject, argc, argv.data(), &rval);
    if (!ok) {
        const QString report = m_values.report();
        m_engine.throwError(report.isEmpty() ? QStringLiteral("%1() failed.").arg(native.name)
                                             : QStringLiteral("%1(): %2").arg(native.name, report));
        return {};
    }
    const auto result = m_values.fromJsval(rval);
    if (!result) {
        m_engine.throwError(QStringLiteral("%1() returned a value this host never made.").arg(native.name));
        return {};
    }
    return *result;
}

} // namespace authoring
