#include "common/desktop/dialogfilechooser.h"

#include <QFileDialog>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace Global {

QString DialogFileChooser::QtFilter(const QString &pairs)
{
    const QStringList parts = pairs.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        const qsizetype paren = description.lastIndexOf(u'(');
        if (paren > 0)
            description = description.left(paren).trimmed();
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        filters.append(description + u" ("_s + patterns + u')');
    }
    return filters.join(u";;"_s);
}

namespace {

void openDialog(QFileDialog *dialog, std::function<void(const QString &)> done)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(
        dialog, &QFileDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
            const QStringList chosen = dialog->selectedFiles();
            if (done)
                done(result == QDialog::Accepted && !chosen.isEmpty() ? chosen.first() : QString());
        });
    dialog->open();
}

} // namespace

void DialogFileChooser::chooseOpenFile(
    QWidget *parent, const QString &filter, std::function<void(const QString &)> done)
{
    auto *dialog = new QFileDialog(parent, QString(), QString(), QtFilter(filter));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    openDialog(dialog, std::move(done));
}

void DialogFileChooser::chooseSaveFile(QWidget *parent, const QString &filter, const QString &start,
    std::function<void(const QString &)> done)
{
    auto *dialog = new QFileDialog(parent, QString(), start, QtFilter(filter));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(u"lsn"_s);
    // The control asks its own overwrite question.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    openDialog(dialog, std::move(done));
}

} // namespace Global
