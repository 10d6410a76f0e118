#pragma once

#include "controls/coursemanage/aulix_coursemanage_export.h"

#include <QIcon>
#include <QString>

// The pictures behind the tree's picture keys, drawn once and cached.
// Unknown keys get the "other" picture.
class AULIX_COURSEMANAGE_EXPORT CourseIcons
{
public:
    static QIcon icon(const QString &pictureKey);
};
