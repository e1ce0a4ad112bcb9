// The native side of a named item: names its members, reads a property and calls a
// method. The site wraps every item in a script object that finds members by name without
// regard to case and forwards to these operations, so the kinds below need no meta-object
// code of their own.
//
// Created and used on the thread of the site's engine only.
#pragma once

#include <QJSValue>
#include <QObject>
#include <QString>
#include <QStringList>

namespace tovy::support_jscript {

class ScriptSite;

class ScriptObject : public QObject {
    Q_OBJECT
public:
    explicit ScriptObject(ScriptSite& site) : m_site(site) {}

    // The members' names; member i + 1 is names[i].
    virtual QStringList memberNames() const = 0;
    virtual bool isMethod(int id) const { return false; }
    // A property's value; may throw a script error through the engine.
    virtual QJSValue property(int id) { return QJSValue(); }
    // A method called with the script's arguments (an array).
    virtual QJSValue call(int id, const QJSValue& arguments) { return QJSValue(); }

    // What the script-side wrapper calls.
    Q_INVOKABLE QStringList members() const { return memberNames(); }
    Q_INVOKABLE bool method(int id) const { return isMethod(id); }
    Q_INVOKABLE QJSValue read(int id) { return property(id); }
    Q_INVOKABLE QJSValue invoke(int id, const QJSValue& arguments) { return call(id, arguments); }

protected:
    ScriptSite& site() const { return m_site; }

private:
    ScriptSite& m_site;
};

}  // namespace tovy::support_jscript
