#pragma once

#include "controls/userlist/aulix_userlist_export.h"

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

// The status pictures of the user list, drawn once per size and kept for the
// life of the program. A person must tell the states apart at a glance, so
// each state differs in body colour and in a badge, not in detail alone.
namespace UserPictures {

constexpr int LargeSize = 32;
constexpr int SmallSize = 16;

// The fifteen picture keys, in a fixed order.
AULIX_USERLIST_EXPORT const QStringList &keys();
// The picture of a key at a size; a null pixmap for an unknown key.
AULIX_USERLIST_EXPORT QPixmap picture(const QString &key, int size);
// Both sizes of a key in one icon.
AULIX_USERLIST_EXPORT QIcon icon(const QString &key);

} // namespace UserPictures
