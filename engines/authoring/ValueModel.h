#pragma once
// Script values as extension libraries see them (jsval): integers and
// booleans encoded in the value itself, everything else a cell the host owns
// whose address is the value. Cells live in arenas: one for the host's life,
// and one for each native call, freed when the call returns. An address
// that is no live cell is refused, never followed.
#include "engines/authoring/ExtensibilityApi.h"

#include <QJSValue>
#include <QString>

#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

class QJSEngine;

namespace authoring {

class ValueModel {
public:
    explicit ValueModel(QJSEngine &engine);
    ~ValueModel();
    ValueModel(const ValueModel &) = delete;
    ValueModel &operator=(const ValueModel &) = delete;

    QJSEngine &engine() const { return m_engine; }

    // One native call's values; what it made is freed when it ends.
    class Scope {
    public:
        explicit Scope(ValueModel &model);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        ValueModel &m_model;
    };

    // Null is 0 and undefined a cell of its own, as neither has a code.
    jsval toJsval(const QJSValue &value);
    // A cell that lives as long as the host (a library's object).
    jsval toLastingJsval(const QJSValue &value);
    jsval undefinedValue() const;
    // Nothing for a value this host did not hand out or has freed.
    std::optional<QJSValue> fromJsval(jsval value) const;
    // Only objects, arrays and functions.
    std::optional<QJSValue> objectOf(const JSObject *object) const;

    // Copies kept until the innermost scope ends, zero-terminated.
    uint16_t *keep(const QString &text);
    uint8_t *keep(const QByteArray &bytes);
    // The innermost scope's error report (reportError), for the failing
    // native's message.
    QString &report();

private:
    struct Cell {
        QJSValue value;
    };
    struct Arena {
        std::vector<std::unique_ptr<Cell>> cells;
        std::vector<QString> texts;
        std::vector<QByteArray> bytes;
        QString report;
    };
    jsval cellIn(Arena &arena, const QJSValue &value);

    QJSEngine &m_engine;
    std::vector<std::unique_ptr<Arena>> m_arenas; // [0] lasts; the rest a stack
    std::unordered_set<jsval> m_live;
    jsval m_undefined = 0;
};

} // namespace authoring
