#include "Automation.h"

#include <QHash>
#include <QMutex>

AutomationError::AutomationError(std::int32_t helpContext, const QString& description)
    : m_helpContext(helpContext), m_description(description), m_utf8(description.toUtf8())
{
}

namespace {

const char* kindName(Variant::Kind kind)
{
    switch (kind) {
    case Variant::Kind::Empty:
        return "Empty";
    case Variant::Kind::Bool:
        return "Boolean";
    case Variant::Kind::Int:
        return "Integer";
    case Variant::Kind::Text:
        return "String";
    case Variant::Kind::Object:
        return "Dispatch";
    }
    return "Unknown";
}

[[noreturn]] void conversionError(Variant::Kind from, const char* to)
{
    throw AutomationError(0, QStringLiteral("Could not convert variant of type (%1) into type (%2)")
                                 .arg(QLatin1String(kindName(from)), QLatin1String(to)));
}

// Text to integer the way automation coerces it: surrounding blanks allowed, decimal only.
bool textToInt(const QString& text, std::int32_t& out)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (ok)
        out = value;
    return ok;
}

bool textToBool(const QString& text, bool& out)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        out = true;
        return true;
    }
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        out = false;
        return true;
    }
    std::int32_t n = 0;
    if (textToInt(t, n)) {
        out = n != 0;
        return true;
    }
    return false;
}

} // namespace

Variant::Variant(bool value) : m_kind(Kind::Bool), m_bool(value) {}
Variant::Variant(std::int32_t value) : m_kind(Kind::Int), m_int(value) {}
Variant::Variant(const QString& value) : m_kind(Kind::Text), m_text(value) {}
Variant::Variant(const char* utf8) : m_kind(Kind::Text), m_text(QString::fromUtf8(utf8)) {}
bool Variant::toBool() const
{
    switch (m_kind) {
    case Kind::Empty:
        return false;
    case Kind::Bool:
        return m_bool;
    case Kind::Int:
        return m_int != 0;
    case Kind::Text: {
        bool b = false;
        if (textToBool(m_text, b))
            return b;
        break;
    }
    case Kind::Object:
        break;
    }
    conversionError(m_kind, "Boolean");
}

std::int32_t Variant::toIntConverted() const
{
    switch (m_kind) {
    case Kind::Empty:
        return 0;
    case Kind::Bool:
        return m_bool ? -1 : 0;
    case Kind::Int:
        return m_int;
    case Kind::Text: {
        std::int32_t n = 0;
        if (textToInt(m_text, n))
            return n;
        break;
    }
    case Kind::Object:
        break;
    }
    conversionError(m_kind, "Integer");
}

QString Variant::toText() &&
{
    if (m_kind == Kind::Text)
        return std::move(m_text);
    return std::as_const(*this).toText();
}

QString Variant::toText() const&
{
    switch (m_kind) {
    case Kind::Empty:
        return QString();
    case Kind::Bool:
        return m_bool ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Int:
        return QString::number(m_int);
    case Kind::Text:
        return m_text;
    case Kind::Object:
        break;
    }
    conversionError(m_kind, "String");
}

void Variant::notAnObject() const
{
    conversionError(m_kind, "Dispatch");
}

void Variant::clear()
{
    *this = Variant();
}

void Variant::put(const QString& name, const Variant& value) const
{
    const DispatchPtr keep = m_object;
    object().put(name, value);
}

Variant Variant::invoke(const QString& name, const QList<Variant>& args) const
{
    const DispatchPtr keep = m_object;
    return object().invoke(name, args);
}

bool operator==(const Variant& a, const Variant& b)
{
    using K = Variant::Kind;
    if (a.m_kind == K::Empty || b.m_kind == K::Empty)
        return a.m_kind == b.m_kind;
    if (a.m_kind == K::Object || b.m_kind == K::Object)
        return a.m_kind == b.m_kind && a.m_object == b.m_object;
    if (a.m_kind == K::Text && b.m_kind == K::Text)
        return a.m_text == b.m_text;
    if (a.m_kind == K::Bool && b.m_kind == K::Bool)
        return a.m_bool == b.m_bool;
    // Text against a boolean converts the text to a boolean ("True", "false", a number).
    if ((a.m_kind == K::Bool && b.m_kind == K::Text) || (a.m_kind == K::Text && b.m_kind == K::Bool))
        return a.toBool() == b.toBool();
    // Numbers with numbers, booleans or numeric text: compare as numbers, True being -1.
    return a.toInt() == b.toInt();
}

Dispatch::~Dispatch() = default;

Variant Dispatch::get(const QString& name, const QList<Variant>&)
{
    unknownMember(name);
}

void Dispatch::put(const QString& name, const Variant&)
{
    unknownMember(name);
}

Variant Dispatch::invoke(const QString& name, const QList<Variant>&)
{
    unknownMember(name);
}

void Dispatch::unknownMember(const QString& name)
{
    throw AutomationError(0, QStringLiteral("Unknown name: %1.").arg(name));
}

namespace {

struct Registry
{
    QMutex mutex;
    QHash<QString, OleFactory> factories;
};

Registry& registry()
{
    static Registry r;
    return r;
}

// ProgIDs are not case-sensitive.
QString progKey(const QString& progId)
{
    return progId.trimmed().toLower();
}

} // namespace

Variant CreateOleObject(const QString& progId)
{
    OleFactory factory;
    {
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        for (auto it = r.factories.cbegin(); it != r.factories.cend(); ++it) {
            if (progKey(it.key()) == progKey(progId)) {
                factory = it.value();
                break;
            }
        }
    }
    if (!factory)
        throw AutomationError(0, QStringLiteral("Invalid class string"));
    DispatchPtr object = factory();
    if (!object)
        throw AutomationError(0, QStringLiteral("Class not registered"));
    return Variant(std::move(object));
}

void RegisterOleProvider(const QString& progId, OleFactory factory)
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    for (auto it = r.factories.begin(); it != r.factories.end();) {
        if (progKey(it.key()) == progKey(progId))
            it = r.factories.erase(it);
        else
            ++it;
    }
    if (factory)
        r.factories.insert(progId, std::move(factory));
}

void UnregisterOleProvider(const QString& progId)
{
    RegisterOleProvider(progId, OleFactory());
}
