#include "common/desktop/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>

#include <vector>

using namespace Qt::StringLiterals;

namespace Global {

namespace {

std::vector<QPointer<QTranslator>> &installedTranslators()
{
    static std::vector<QPointer<QTranslator>> list;
    return list;
}

// "aulix_userlist_en.qm" -> "aulix_userlist"; the language is the part
// after the last underscore that names one.
QString baseName(const QString &file)
{
    static const QRegularExpression language(u"_[a-z]{2,3}(_[A-Z][A-Za-z]+)*\\.qm$"_s);
    const QRegularExpressionMatch match = language.match(file);
    return match.hasMatch() ? file.left(match.capturedStart()) : QString();
}

bool install(const QLocale &locale, const QString &base, const QString &folder, QString *file)
{
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(locale, base, u"_"_s, folder))
        return false;
    *file = QFileInfo(translator->filePath()).fileName();
    QCoreApplication::installTranslator(translator.get());
    installedTranslators().emplace_back(translator.release());
    return true;
}

} // namespace

QStringList InstallTranslators(const QLocale &locale)
{
    RemoveTranslators();
    const QString folder = QString::fromUtf16(TranslationFolder);
    QSet<QString> bases;
    const QStringList files = QDir(folder).entryList({u"*.qm"_s}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QString base = baseName(file);
        if (!base.isEmpty())
            bases.insert(base);
    }
    QStringList done;
    QStringList sorted(bases.cbegin(), bases.cend());
    sorted.sort();
    for (const QString &base : std::as_const(sorted)) {
        QString file;
        if (install(locale, base, folder, &file))
            done.append(file);
    }
    // Qt's own dialogs follow the program's language: English where the
    // program is translated, Chinese otherwise.
    const QLocale qtLocale = done.isEmpty() ? QLocale(QLocale::Chinese, QLocale::China) : locale;
    QString qtFile;
    install(qtLocale, u"qtbase"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath), &qtFile);
    return done;
}

void RemoveTranslators()
{
    for (const QPointer<QTranslator> &translator : installedTranslators()) {
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
    installedTranslators().clear();
}

} // namespace Global
