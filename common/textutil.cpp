#include "common/textutil.h"

#include <QUuid>

namespace Global {

QString NewGuidString()
{
    return QUuid::createUuid().toString(QUuid::Id128).toUpper();
}

QString TrimAtNull(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

} // namespace Global
