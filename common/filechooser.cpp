#include "common/filechooser.h"

namespace Global {

FileChooser::~FileChooser() = default;

void ScriptedFileChooser::chooseOpenFile(
    QWidget *parent, const QString &filter, std::function<void(const QString &)> done)
{
    Q_UNUSED(parent)
    filters.append(filter);
    starts.append(QString());
    const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
    if (done)
        done(answer);
}

void ScriptedFileChooser::chooseSaveFile(QWidget *parent, const QString &filter,
    const QString &start, std::function<void(const QString &)> done)
{
    Q_UNUSED(parent)
    filters.append(filter);
    starts.append(start);
    const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
    if (done)
        done(answer);
}

} // namespace Global
