#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

namespace quillory::test {

// Sets an environment variable for one scope and puts back what was there; a null value
// unsets it.
class ScopedEnv final
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ScopedEnv(const char *name, const QString &value)
        : ScopedEnv(name, value.isNull() ? QByteArray() : QFile::encodeName(value))
    {
    }
    ScopedEnv(const char *name, const char *value) : ScopedEnv(name, QByteArray(value)) {}
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    QByteArray m_old;
    bool m_had;
};

} // namespace quillory::test
