#include "sim/core/simwebserver.h"

#include <QDir>
#include <QFileInfo>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

using StatusCode = QHttpServerResponse::StatusCode;

SimWebServer::SimWebServer(const SimConfig &config, SimLog log, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_log(std::move(log))
    , m_server(std::make_unique<QHttpServer>())
{
    m_server->route(u"/askdesk/balance/getuserid.asp"_s, [this](const QHttpServerRequest &request) {
        const QString name
            = request.query().queryItemValue(u"username"_s, QUrl::FullyDecoded).trimmed();
        const SimUser *user = m_config.userByCode(name);
        m_log({{u"sim"_s, u"web-userid"_s}, {u"username"_s, name}, {u"found"_s, user != nullptr}});
        // Only a 200 answer counts as a user number for the client.
        if (!user)
            return QHttpServerResponse(u"unknown user"_s, StatusCode::NotFound);
        return QHttpServerResponse(QByteArray("text/plain"), QString::number(user->id).toUtf8());
    });
    m_server->route(u"/askdesk/balance/"_s, [this](const QHttpServerRequest &) {
        return QHttpServerResponse(QByteArray("text/plain"), m_campusAddress.toUtf8());
    });
    m_server->route(
        u"/CampusDir/<arg>/<arg>"_s, [this](const QString &campus, const QString &file) {
            static const QRegularExpression folderName(u"^campus[0-9]+$"_s);
            const QString path = folderName.match(campus).hasMatch()
                ? fileInFolder(m_config.courseFolder + u'/' + campus, file)
                : QString();
            m_log({{u"sim"_s, u"web-courseware"_s}, {u"folder"_s, campus}, {u"file"_s, file},
                {u"found"_s, !path.isEmpty()}});
            if (path.isEmpty())
                return QHttpServerResponse(StatusCode::NotFound);
            return QHttpServerResponse::fromFile(path);
        });
    m_server->route(u"/demo/<arg>"_s, [this](const QString &file) {
        const QString path
            = m_pagesFolder.isEmpty() ? QString() : fileInFolder(m_pagesFolder, file);
        if (path.isEmpty())
            return QHttpServerResponse(StatusCode::NotFound);
        return QHttpServerResponse::fromFile(path);
    });
}

SimWebServer::~SimWebServer() = default;

bool SimWebServer::listen(quint16 port)
{
    m_port = m_server->listen(QHostAddress::LocalHost, port);
    return m_port != 0;
}

QString SimWebServer::fileInFolder(const QString &folder, const QString &segment)
{
    const QString name = QUrl::fromPercentEncoding(segment.toUtf8());
    if (name.isEmpty() || name.startsWith(u'.') || name.contains(u'/') || name.contains(u'\\')
        || name.contains(QChar(0)))
        return {};
    const QFileInfo info(QDir(folder).filePath(name));
    return info.isFile() ? info.absoluteFilePath() : QString();
}
