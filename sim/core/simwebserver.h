#pragma once

#include "sim/core/simconfig.h"
#include "sim/core/simlog.h"

#include <QObject>

#include <memory>

class QHttpServer;

// The web side: the two account pages and the courseware directory, plus
// the simulator's own pages under /demo/ for the teacher's web addresses.
class SimWebServer : public QObject
{
    Q_OBJECT

public:
    SimWebServer(const SimConfig &config, SimLog log, QObject *parent = nullptr);
    ~SimWebServer() override;

    // The address the balance page names (the campus server's host).
    void setCampusAddress(const QString &address) { m_campusAddress = address; }
    // Folder served under /demo/; empty serves nothing there.
    void setPagesFolder(const QString &folder) { m_pagesFolder = folder; }

    bool listen(quint16 port = 0);
    quint16 port() const { return m_port; }

    // A file of `folder` named by one URL path segment, or empty when the
    // segment could leave the folder or names nothing there.
    static QString fileInFolder(const QString &folder, const QString &segment);

private:
    SimConfig m_config;
    SimLog m_log;
    std::unique_ptr<QHttpServer> m_server;
    QString m_campusAddress = QStringLiteral("127.0.0.1");
    QString m_pagesFolder;
    quint16 m_port = 0;
};
