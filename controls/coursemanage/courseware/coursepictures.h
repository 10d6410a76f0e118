#pragma once

#include "controls/coursemanage/lumocourseware_export.h"

#include <QString>
#include <QStringList>

// Kind of a played courseware item, as the presentation area expects it.
// Values cross to the host: append only.
enum OLE_FileType : qint16 {
    OLE_Office = 1,
    OLE_html = 2,
    OLE_Wave = 3,
    OLE_Movie = 4,
    OLE_Other = 5,
};

namespace Courseware {

// Every picture key a node can carry, in a fixed order.
LUMOCOURSEWARE_EXPORT QStringList PictureKeys();

} // namespace Courseware

// Picture key for a file extension (without the dot, any case).
LUMOCOURSEWARE_EXPORT QString PictureForExtension(const QString &extension);

// The played type of a picture key; 0 for folders and unknown files.
// `bUrlFile` is set only for the picture keys the played type covers.
LUMOCOURSEWARE_EXPORT qint16 FileTypeForPicture(const QString &picture, bool *bUrlFile = nullptr);
