#pragma once

#include <QByteArray>
#include <QtGlobal>

// An environment variable for the life of the object, restored (or unset
// again) after it.
class EnvOverride
{
public:
    EnvOverride(const char *name, const QByteArray &value)
        : m_name(name)
        , m_old(qgetenv(name))
        , m_had(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~EnvOverride()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    EnvOverride(const EnvOverride &) = delete;
    EnvOverride &operator=(const EnvOverride &) = delete;

private:
    const char *m_name;
    QByteArray m_old;
    bool m_had;
};
