#pragma once

#include "common/desktop/lumodesktop_export.h"
#include "common/filechooser.h"

namespace Global {

// Window-modal QFileDialog opened with open(): the answer arrives later
// through the callback, with no nested event loop.
class LUMODESKTOP_EXPORT DialogFileChooser : public FileChooser
{
public:
    void chooseOpenFile(
        QWidget *parent, const QString &filter, std::function<void(const QString &)> done) override;
    void chooseSaveFile(QWidget *parent, const QString &filter, const QString &start,
        std::function<void(const QString &)> done) override;

    // "desc (*.a,*.b)|*.a;*.b|..." in the form QFileDialog reads.
    static QString QtFilter(const QString &pairs);
};

} // namespace Global
