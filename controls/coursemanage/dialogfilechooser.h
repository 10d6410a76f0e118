#pragma once

#include "controls/coursemanage/aulix_coursemanage_export.h"
#include "controls/coursemanage/filechooser.h"

// Window-modal QFileDialog opened with open(): the answer arrives later
// through the callback, with no nested event loop.
class AULIX_COURSEMANAGE_EXPORT DialogFileChooser : public FileChooser
{
public:
    void chooseOpenFile(
        QWidget *parent, const QString &filter, std::function<void(const QString &)> done) override;
    void chooseSaveFile(QWidget *parent, const QString &filter, const QString &start,
        std::function<void(const QString &)> done) override;

    // "desc (*.a,*.b)|*.a;*.b|..." in the form QFileDialog reads.
    static QString QtFilter(const QString &pairs);
};
