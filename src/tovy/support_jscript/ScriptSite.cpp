#include "tovy/support_jscript/ScriptSite.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QJSValue>
#include <QStringList>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tovy/support_jscript/ScriptObject.h"

namespace tovy::support_jscript {

namespace {

using Clock = std::chrono::steady_clock;

// How often the watch thread looks at the cancel hook while a run is under way.
constexpr std::chrono::milliseconds kWatchInterval{10};

// The script side of the items. An item becomes a global object whose members are found
// by name without regard to case; the members of items with global members are also
// found through the scope every run is evaluated in (a `with` over a proxy), so
// "fileName" reads "target.fileName". Names are resolved in script code and remembered,
// so an ordinary variable costs one property lookup when the scope is asked about it.
const char kGlue[] = R"JS(
(function (global) {
    function wrap(native) {
        var byName = Object.create(null);
        var names = native.members();
        for (var i = 0; i < names.length; ++i) byName[String(names[i]).toLowerCase()] = i + 1;
        var seen = Object.create(null);
        function lookup(k) {
            if (typeof k !== 'string') return 0;
            var id = seen[k];
            if (id === undefined) {
                id = byName[k.toLowerCase()] || 0;
                seen[k] = id;
            }
            return id;
        }
        function member(id) {
            if (native.method(id)) {
                return function () {
                    return native.invoke(id, Array.prototype.slice.call(arguments));
                };
            }
            return native.read(id);
        }
        return { lookup: lookup, member: member };
    }
    function readOnly(find) {
        return {
            get: function (t, k) {
                var m = find(k);
                return m ? m.item.member(m.id) : undefined;
            },
            has: function (t, k) { return find(k) !== null; },
            set: function () { return false; },
            defineProperty: function () { return false; },
            deleteProperty: function () { return false; }
        };
    }
    var scoped = [];
    var scope = new Proxy({}, readOnly(function (k) {
        for (var i = 0; i < scoped.length; ++i) {
            var id = scoped[i].lookup(k);
            if (id) return { item: scoped[i], id: id };
        }
        return null;
    }));
    return {
        scope: scope,
        none: {},
        add: function (name, native, globalMembers) {
            var item = wrap(native);
            var object = new Proxy({}, readOnly(function (k) {
                var id = item.lookup(k);
                return id ? { item: item, id: id } : null;
            }));
            // The item stays what it is: assigning the name does nothing.
            Object.defineProperty(global, name, { value: object, writable: false,
                                                  enumerable: false, configurable: false });
            if (globalMembers) scoped.push(item);
        }
    };
})(this)
)JS";

const char kScopeName[] = "__quenrix_scope";
const char kNoneName[] = "__quenrix_none";

bool isIdentifier(const std::wstring& name) {
    if (name.empty()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i];
        const bool letter =
            (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || c == L'$';
        if (!letter && !(i > 0 && c >= L'0' && c <= L'9')) return false;
    }
    return true;
}

}  // namespace

struct ScriptSite::Impl {
    enum class Reason { kNone, kTime, kCancel };

    Hooks hooks;
    std::chrono::milliseconds limit;
    std::unique_ptr<QJSEngine> engine;
    QJSValue glue;

    std::mutex lock;
    std::condition_variable wake;
    bool running = false;
    bool paused = false;
    bool stop = false;
    Reason reason = Reason::kNone;
    Clock::time_point deadline;
    std::thread watcher;

    // Under lock.
    void interruptLocked(Reason why) {
        if (!running || reason != Reason::kNone) return;
        reason = why;
        engine->setInterrupted(true);
    }

    void watch() {
        std::unique_lock<std::mutex> l(lock);
        while (!stop) {
            if (!running) {
                wake.wait(l);
                continue;
            }
            if (reason == Reason::kNone) {
                if (hooks.cancelled && hooks.cancelled()) {
                    interruptLocked(Reason::kCancel);
                } else if (limit.count() > 0 && !paused && Clock::now() >= deadline) {
                    interruptLocked(Reason::kTime);
                }
            }
            wake.wait_for(l, kWatchInterval);
        }
    }
};

ScriptSite::ScriptSite(Hooks hooks, std::chrono::milliseconds timeLimit)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->hooks = std::move(hooks);
    m_impl->limit = timeLimit;
    // QJSEngine refuses to exist without an application object.
    if (!QCoreApplication::instance()) return;
    m_impl->engine = std::make_unique<QJSEngine>();
    m_impl->glue = m_impl->engine->evaluate(QString::fromUtf8(kGlue));
    if (m_impl->glue.isError() || !m_impl->glue.isObject()) {
        m_impl->engine.reset();
        return;
    }
    QJSValue global = m_impl->engine->globalObject();
    global.setProperty(QString::fromLatin1(kScopeName),
                       m_impl->glue.property(QStringLiteral("scope")));
    global.setProperty(QString::fromLatin1(kNoneName),
                       m_impl->glue.property(QStringLiteral("none")));
    m_impl->watcher = std::thread([impl = m_impl.get()] { impl->watch(); });
}

ScriptSite::~ScriptSite() {
    if (m_impl->watcher.joinable()) {
        {
            std::lock_guard<std::mutex> l(m_impl->lock);
            m_impl->stop = true;
        }
        m_impl->wake.notify_all();
        m_impl->watcher.join();
    }
    // The engine deletes the item objects it owns.
    m_impl->glue = QJSValue();
    m_impl->engine.reset();
}

bool ScriptSite::ready() const {
    return m_impl->engine != nullptr;
}

QJSEngine* ScriptSite::engine() const {
    return m_impl->engine.get();
}

void ScriptSite::addItem(const ScriptItem& item) {
    if (!m_impl->engine || !item.create || !isIdentifier(item.name)) return;
    ScriptObject* native = item.create(*this);
    if (!native) return;
    QJSValue object = m_impl->engine->newQObject(native);  // the engine owns it now
    m_impl->glue.property(QStringLiteral("add"))
        .call({QJSValue(QString::fromStdWString(item.name)), object,
               QJSValue((item.flags & kItemGlobalMembers) != 0)});
}

RunResult ScriptSite::run(const std::wstring& script, const std::wstring& function) {
    RunResult result;
    if (!m_impl->engine) return result;
    if (!isIdentifier(function)) {
        result.end = RunEnd::kNotFound;
        return result;
    }
    // The prefix stays on the script's first line, so the engine's line numbers are the
    // script's own. The function is called inside the scope, where its declaration lives.
    const QString name = QString::fromStdWString(function);
    const QString program = QStringLiteral("with (%1) {").arg(QString::fromLatin1(kScopeName)) +
                            QString::fromStdWString(script) +
                            QStringLiteral("\n;(typeof %1 === 'function') ? %1() : %2\n}")
                                .arg(name, QString::fromLatin1(kNoneName));

    {
        std::lock_guard<std::mutex> l(m_impl->lock);
        m_impl->running = true;
        m_impl->reason = Impl::Reason::kNone;
        m_impl->deadline = Clock::now() + m_impl->limit;
    }
    m_impl->wake.notify_all();
    QStringList trace;
    const QJSValue value = m_impl->engine->evaluate(program, QStringLiteral("script"), 1, &trace);
    Impl::Reason reason;
    {
        std::lock_guard<std::mutex> l(m_impl->lock);
        m_impl->running = false;
        reason = m_impl->reason;
        m_impl->engine->setInterrupted(false);
    }

    // An interrupted run ends with an error value but without an exception of its own.
    if (reason == Impl::Reason::kTime) {
        result.end = RunEnd::kTimedOut;
        return result;
    }
    if (reason == Impl::Reason::kCancel) {
        result.end = RunEnd::kCancelled;
        return result;
    }
    if (!trace.isEmpty()) {
        result.end = RunEnd::kError;
        if (value.isError()) {
            result.description =
                value.property(QStringLiteral("message")).toString().toStdWString();
            // An error found only in the lines added after the script (an unclosed
            // bracket) belongs to the script's last line.
            const int lines = int(std::count(script.begin(), script.end(), L'\n')) + 1;
            const int line = std::min(value.property(QStringLiteral("lineNumber")).toInt(), lines);
            if (line > 0) result.description += L" (line " + std::to_wstring(line) + L")";
            const QJSValue source = value.property(QStringLiteral("source"));
            result.source = (source.isString() ? source : value.property(QStringLiteral("name")))
                                .toString()
                                .toStdWString();
        } else {
            // A value the script threw itself.
            result.description = value.toString().toStdWString();
        }
        if (result.source.empty()) result.source = L"Script";
        return result;
    }
    if (value.strictlyEquals(
            m_impl->engine->globalObject().property(QString::fromLatin1(kNoneName)))) {
        result.end = RunEnd::kNotFound;
        return result;
    }
    result.end = RunEnd::kReturned;
    if (value.isUndefined()) {
        result.value = RunValue::kNone;
    } else if (value.isBool()) {
        result.value = RunValue::kBoolean;
        result.boolean = value.toBool();
    } else {
        result.value = RunValue::kOther;
    }
    return result;
}

void ScriptSite::interrupt() {
    if (!m_impl->engine) return;
    std::lock_guard<std::mutex> l(m_impl->lock);
    m_impl->interruptLocked(Impl::Reason::kCancel);
}

void ScriptSite::showMessage(const std::wstring& text, const std::wstring& caption) {
    if (!m_impl->hooks.showMessage) return;
    Clock::time_point start;
    {
        std::lock_guard<std::mutex> l(m_impl->lock);
        m_impl->paused = true;
        start = Clock::now();
    }
    m_impl->hooks.showMessage(text, caption);
    std::lock_guard<std::mutex> l(m_impl->lock);
    m_impl->deadline += Clock::now() - start;
    m_impl->paused = false;
}

}  // namespace tovy::support_jscript
