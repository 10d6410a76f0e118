#include "client/campus/coursewaredownloader.h"

#include "client/campus/coursecatalogue.h"
#include "controls/coursemanage/courseware/coursewarereader.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

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
    // m_file removes its temporary file as it goes.
}

bool CoursewareDownloader::start(const QUrl &url, const QString &folder, const QString &fileName)
{
    if (m_reply)
        return false;
    m_fileName = fileName;
    m_received = 0;
    m_writtenBack = 0;
    m_total = -1;
    m_ending = false;
    if (!IsPlainFileName(fileName)) {
        Q_EMIT finished(Outcome::Refused, fileName,
            u"the file name \"%1\" is refused: not a plain file name"_s.arg(fileName));
        return false;
    }
    if (!url.isValid() || url.scheme() != u"http"_s) {
        Q_EMIT finished(Outcome::Failed, fileName, u"not an http address: "_s + url.toString());
        return false;
    }
    QDir().mkpath(folder);
    m_target = QDir(folder).filePath(fileName);
    // A fresh name beside the target (O_EXCL), read back for the check and
    // renamed over the target only when sound: the old file stays until then.
    m_file
        = std::make_unique<QTemporaryFile>(QDir(folder).filePath(u"."_s + fileName + u".XXXXXX"_s));
    if (!m_file->open()) {
        const QString error = m_file->errorString();
        m_file.reset();
        Q_EMIT finished(Outcome::Failed, fileName, error);
        return false;
    }
    m_block.resize(BlockSize);
    QNetworkRequest request(url);
    request.setTransferTimeout(m_stallLimitMs);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_reply = m_network->get(request);
    // Without a bound the network thread reads the socket as fast as a
    // loopback peer sends and queues every byte for this thread: the whole
    // answer in memory. With it, reading waits until a block is written out.
    m_reply->setReadBufferSize(BlockSize);
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
    bool moved = false;
    while (m_reply->bytesAvailable() > 0) {
        if (m_received + m_reply->bytesAvailable() > m_sizeCap) {
            fail(Outcome::Failed, u"more than the cap of %1 bytes"_s.arg(m_sizeCap));
            return;
        }
        const qint64 count = m_reply->read(m_block.data(), m_block.size());
        if (count <= 0)
            break;
        if (m_file->write(m_block.constData(), count) != count) {
            fail(Outcome::Failed, m_file->errorString());
            return;
        }
        m_received += count;
        moved = true;
    }
    if (moved) {
        startWriteBack();
        Q_EMIT progress(m_received, m_total);
    }
}

void CoursewareDownloader::startWriteBack()
{
    // The file must be on disk before it replaces the old one (commit()).
    // Left to the end, that fsync writes the whole file while the student
    // waits; handing the kernel each few blocks as they come lets the disk
    // work while the network does, and the last fsync finds little to do.
    // SYNC_FILE_RANGE_WRITE only starts the writing, it does not wait for it.
    const qint64 pending = m_file->pos() - m_writtenBack;
    if (pending < WriteBackStep)
        return;
    if (!m_file->flush())
        return; // the error shows at the next write or at the fsync
    ::sync_file_range(m_file->handle(), m_writtenBack, pending, SYNC_FILE_RANGE_WRITE);
    m_writtenBack += pending;
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
    m_block = QByteArray();
    // A web page answered with 200, or a file cut short by a peer that sent
    // no length, must not take the place of a course that works.
    const QString fault = m_file->flush() && m_file->seek(0) ? Courseware::CoursewareFault(*m_file)
                                                             : m_file->errorString();
    if (!fault.isEmpty()) {
        fail(Outcome::NotCourseware, fault);
        return;
    }
    const QString error = commit();
    m_file.reset();
    Q_EMIT finished(error.isEmpty() ? Outcome::Done : Outcome::Failed, m_fileName, error);
}

QString CoursewareDownloader::commit()
{
    // On disk before it replaces the old file: a crash after the rename must
    // not leave an empty course.
    if (!m_file->flush() || ::fsync(m_file->handle()) != 0)
        return m_file->errorString();
    const QByteArray from = QFile::encodeName(m_file->fileName());
    const QByteArray to = QFile::encodeName(m_target);
    if (std::rename(from.constData(), to.constData()) != 0)
        return u"cannot replace %1: %2"_s.arg(
            m_target, QString::fromLocal8Bit(std::strerror(errno)));
    m_file->setAutoRemove(false);
    return {};
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
    m_file.reset(); // removes the temporary file, leaves the target alone
    m_block = QByteArray();
    Q_EMIT finished(outcome, m_fileName, error);
}
