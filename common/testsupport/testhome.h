#pragma once

#include "common/testsupport/qtprinters.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// Points every per-user and machine-wide store at a fresh temporary folder
// for the life of the object. Tests create one before touching settings, the
// data folder or the error log.
class TestHome
{
public:
    TestHome()
    {
        const QString root = m_dir.path();
        QDir().mkpath(root + QStringLiteral("/config"));
        QDir().mkpath(root + QStringLiteral("/data"));
        qputenv("LUMO_CONFIG_DIR", QFile::encodeName(root + QStringLiteral("/config")));
        qputenv("LUMO_DATA_DIR", QFile::encodeName(root + QStringLiteral("/data")));
        qputenv("LUMO_ERROR_LOG", QFile::encodeName(errorLogPath()));
        qputenv("LUMO_MACHINE_SETTINGS", QFile::encodeName(root + QStringLiteral("/machine.conf")));
    }

    QString path() const { return m_dir.path(); }
    QString errorLogPath() const { return m_dir.path() + QStringLiteral("/LumoClass.log"); }

    QByteArray errorLog() const
    {
        QFile file(errorLogPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void clearErrorLog() const { QFile::remove(errorLogPath()); }

private:
    QTemporaryDir m_dir;
};
