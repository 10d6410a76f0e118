#pragma once

// Readable GoogleTest messages for Qt values.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << "hex:" << bytes.toHex(' ').toStdString();
}

inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '[';
    for (const QString &text : list)
        *os << "\n  \"" << text.toStdString() << '"';
    *os << " ]";
}
