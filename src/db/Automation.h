// Late-bound automation objects: the values, objects and errors through which the catalogue back
// ends talk to their providers (the Jet catalogue, the SQL Server catalogue). Members are looked up
// by name at each call, so a back end never depends on a provider's concrete classes, and tests can
// register providers of their own under a ProgID.
#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <utility>

class Dispatch;
using DispatchPtr = std::shared_ptr<Dispatch>;

// A failing automation call: the provider's help-context number and its message.
class AutomationError : public std::exception
{
public:
    AutomationError(std::int32_t helpContext, const QString& description);

    std::int32_t helpContext() const noexcept { return m_helpContext; }
    const QString& description() const noexcept { return m_description; }
    // The description in UTF-8.
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    std::int32_t m_helpContext;
    QString m_description;
    QByteArray m_utf8;
};

// Empty, boolean, 32-bit integer, text or object reference. Copies share the object; overwriting or
// destroying a Variant releases its share.
class Variant
{
public:
    enum class Kind
    {
        Empty,
        Bool,
        Int,
        Text,
        Object
    };

    Variant() = default;
    Variant(bool value);
    Variant(std::int32_t value);
    Variant(const QString& value);
    // Takes the text over: a provider's freshly made text costs no reference-count round trip.
    Variant(QString&& value) : m_kind(Kind::Text), m_text(std::move(value)) {}
    Variant(const char* utf8);
    // A null pointer is no object: such a value stays empty, so "is there an object" has one answer.
    Variant(DispatchPtr object) : m_kind(object ? Kind::Object : Kind::Empty), m_object(std::move(object)) {}

    Kind kind() const { return m_kind; }
    bool isEmpty() const { return m_kind == Kind::Empty; }
    bool isObject() const { return m_kind == Kind::Object; }

    // Conversions as automation does them; a value that cannot be converted throws AutomationError.
    // Empty converts to false, 0 and "", True to -1 and "True".
    bool toBool() const;
    std::int32_t toInt() const { return m_kind == Kind::Int ? m_int : toIntConverted(); }
    QString toText() const&;
    // A temporary's text is moved out rather than shared (the usual get(...).toText()).
    QString toText() &&;
    // The object; throws AutomationError when the value is not an object reference.
    Dispatch& object() const
    {
        if (m_kind != Kind::Object || !m_object)
            notAnObject();
        return *m_object;
    }
    const DispatchPtr& objectPtr() const { return m_object; }

    void clear();

    // Member access on the held object; throws AutomationError when there is none.
    // Inline: the report reads several members of every column through here.
    Variant get(const QString& name, const QList<Variant>& args = {}) const;
    void put(const QString& name, const Variant& value) const;
    Variant invoke(const QString& name, const QList<Variant>& args = {}) const;

    // Equality as automation compares values: numbers and booleans by value (True equals -1), text
    // with text exactly, text with a boolean or a number after converting the text to that type
    // (throws when it cannot), objects by identity, Empty only with Empty.
    friend bool operator==(const Variant& a, const Variant& b);

private:
    std::int32_t toIntConverted() const;
    [[noreturn]] void notAnObject() const;

    Kind m_kind = Kind::Empty;
    bool m_bool = false;
    std::int32_t m_int = 0;
    QString m_text;
    DispatchPtr m_object;
};

// An automation object. Every member is reached by name; an unknown member or a failing call throws
// AutomationError.
class Dispatch
{
public:
    virtual ~Dispatch();
    // Property get, with arguments for indexed properties such as Item.
    virtual Variant get(const QString& name, const QList<Variant>& args);
    virtual void put(const QString& name, const Variant& value);
    virtual Variant invoke(const QString& name, const QList<Variant>& args);

protected:
    // The error an unknown member raises.
    [[noreturn]] static void unknownMember(const QString& name);
};

inline Variant Variant::get(const QString& name, const QList<Variant>& args) const
{
    // Keep the object alive for the call even if the call overwrites this very Variant.
    const DispatchPtr keep = m_object;
    return object().get(name, args);
}

using OleFactory = std::function<DispatchPtr()>;

// Creates the object registered under progId; an unregistered ProgID throws AutomationError
// ("Invalid class string"), as a component that is not installed does.
Variant CreateOleObject(const QString& progId);

// Registers (or replaces) the factory for progId. The providers this program ships are
// registered by RegisterBuiltInProviders (Providers.h) when a program starts.
void RegisterOleProvider(const QString& progId, OleFactory factory);
void UnregisterOleProvider(const QString& progId);

// The system-table query object lives beside the layer.
#include "QueryObject.h"
