#pragma once

#include "common/lumoglobal_export.h"

#include <QList>
#include <QString>

#include <functional>

class QWidget;

namespace Global {

// How a window asks for a file to open or a name to save under. Filters
// come as pairs "description|patterns|description|patterns..."; `done` gets
// an empty text when the user cancels, possibly before the call returns.
class LUMOGLOBAL_EXPORT FileChooser
{
public:
    virtual ~FileChooser();
    virtual void chooseOpenFile(
        QWidget *parent, const QString &filter, std::function<void(const QString &)> done)
        = 0;
    virtual void chooseSaveFile(QWidget *parent, const QString &filter, const QString &start,
        std::function<void(const QString &)> done)
        = 0;
};

// Answers from a queue (an empty queue cancels) and keeps what it was asked:
// for tests and headless runs.
class LUMOGLOBAL_EXPORT ScriptedFileChooser : public FileChooser
{
public:
    void chooseOpenFile(
        QWidget *parent, const QString &filter, std::function<void(const QString &)> done) override;
    void chooseSaveFile(QWidget *parent, const QString &filter, const QString &start,
        std::function<void(const QString &)> done) override;

    QList<QString> answers;
    QList<QString> filters;
    QList<QString> starts;
};

} // namespace Global
