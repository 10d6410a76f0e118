#include "client/campus/coursewaredownloader.h"

#include "client/campus/coursecatalogue.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

using namespace Qt::StringLiterals;

CoursewareDownloader::CoursewareDownloader(QObject *parent)
    : QObject(parent)
    , m_network(std::make_unique<QNetworkAccessManager>())
{ }

CoursewareDownloader::~CoursewareDownloader()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    if (m_file)
        m_file->cancelWriting();
}

bool CoursewareDownloader::start(const QUrl &url, const QString &folder, const QString &fileName)
{
    if (m_reply)
        return false;
    m_fileName = fileName;
    m_received = 0;
    m_total = -1;
    m_ending = false;
    if (!IsPlainFileName(fileName)) {
        Q_EMIT finished(Outcome::Refused, fileName, u"not a plain file name"_s);
        return false;
    }
    if (!url.isValid() || url.scheme() != u"http"_s) {
        Q_EMIT finished(Outcome::Failed, fileName, u"not an http address: "_s + url.toString());
        return false;
    }
    QDir().mkpath(folder);
    m_file = std::make_unique<QSaveFile>(QDir(folder).filePath(fileName));
    if (!m_file->open(QIODevice::WriteOnly)) {
        const QString error = m_file->errorString();
        m_file.reset();
        Q_EMIT finished(Outcome::Failed, fileName, error);
        return false;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(m_stallLimitMs);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &CoursewareDownloader::onMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &CoursewareDownloader::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &CoursewareDownloader::onFinished);
    return true;
}

void CoursewareDownloader::cancel()
{
    if (m_reply)
        fail(Outcome::Cancelled, u"cancelled"_s);
}

void CoursewareDownloader::onMetaData()
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0 && status != 200) {
        fail(Outcome::Failed, u"HTTP %1"_s.arg(status));
        return;
    }
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    m_total = length.isValid() ? length.toLongLong() : -1;
    if (m_total > m_sizeCap)
        fail(Outcome::Failed,
            u"announced size %1 above the cap of %2 bytes"_s.arg(m_total).arg(m_sizeCap));
}

void CoursewareDownloader::onReadyRead()
{
    if (!m_reply || m_ending)
        return;
    const qint64 available = m_reply->bytesAvailable();
    if (m_received + available > m_sizeCap) {
        fail(Outcome::Failed, u"more than the cap of %1 bytes"_s.arg(m_sizeCap));
        return;
    }
    const QByteArray chunk = m_reply->readAll();
    if (m_file->write(chunk) != chunk.size()) {
        fail(Outcome::Failed, m_file->errorString());
        return;
    }
    m_received += chunk.size();
    Q_EMIT progress(m_received, m_total);
}

void CoursewareDownloader::onFinished()
{
    if (!m_reply || m_ending)
        return;
    onReadyRead();
    if (!m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_reply->error() != QNetworkReply::NoError) {
        fail(Outcome::Failed, m_reply->errorString());
        return;
    }
    if (status != 200) {
        fail(Outcome::Failed, u"HTTP %1"_s.arg(status));
        return;
    }
    if (m_total >= 0 && m_received != m_total) {
        fail(Outcome::Failed, u"%1 of %2 bytes received"_s.arg(m_received).arg(m_total));
        return;
    }
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    reply->deleteLater();
    const bool committed = m_file->commit();
    const QString error = committed ? QString() : m_file->errorString();
    m_file.reset();
    Q_EMIT finished(committed ? Outcome::Done : Outcome::Failed, m_fileName, error);
}

void CoursewareDownloader::fail(Outcome outcome, const QString &error)
{
    // Aborting emits finished() synchronously; m_ending keeps it from
    // reporting twice.
    m_ending = true;
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    if (reply) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_file) {
        m_file->cancelWriting();
        m_file->commit(); // removes the temporary file, leaves the target alone
        m_file.reset();
    }
    Q_EMIT finished(outcome, m_fileName, error);
}
