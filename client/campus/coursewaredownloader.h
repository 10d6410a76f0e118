#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;

// Fetches one courseware file over HTTP into the courseware folder. The
// bytes go in blocks to a temporary file beside the target; only a complete
// 200 answer that reads as courseware replaces the target (rename), so a
// failed, cancelled or foreign fetch leaves the old file as it was. Names
// that are not plain file names are refused before any request; answers
// larger than the size cap are cut off. Memory stays at a few blocks
// whatever the size of the answer.
class CoursewareDownloader : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Done,
        Failed,
        Cancelled,
        Refused, // the file name; nothing was fetched
        NotCourseware, // the answer came whole but is not a sound courseware file
    };
    Q_ENUM(Outcome)

    static constexpr qint64 DefaultSizeCap = qint64(2) << 30; // 2 GiB
    static constexpr int DefaultStallLimitMs = 30000;
    // Bytes moved from the network to the file at a time; also what the
    // network side may hold ahead of the file.
    static constexpr qint64 BlockSize = qint64(1) << 20;
    // Bytes written to the file before the kernel is told to start putting
    // them on disk.
    static constexpr qint64 WriteBackStep = qint64(8) << 20;

    explicit CoursewareDownloader(QObject *parent = nullptr);
    ~CoursewareDownloader() override;

    void setSizeCap(qint64 bytes) { m_sizeCap = bytes; }
    // The longest time without a byte arriving before the fetch fails.
    void setStallLimit(int ms) { m_stallLimitMs = ms; }

    // Starts fetching `url` into `folder` + `fileName`. Returns false (and
    // reports `finished` with Refused or Failed at once) when the name is not
    // a plain file name, the folder cannot be written or a fetch is running.
    bool start(const QUrl &url, const QString &folder, const QString &fileName);
    // Ends a running fetch; `finished` reports Cancelled.
    void cancel();
    bool isBusy() const { return m_reply != nullptr; }
    QString fileName() const { return m_fileName; }

Q_SIGNALS:
    // Bytes received of the announced size (total -1 when none was announced).
    void progress(qint64 received, qint64 total);
    // The end of a fetch; `error` says why it failed, in words for the log.
    void finished(
        CoursewareDownloader::Outcome outcome, const QString &fileName, const QString &error);

private:
    void onMetaData();
    void onReadyRead();
    void onFinished();
    // Starts the disk writing of what was written since the last call, once
    // at least WriteBackStep bytes are waiting.
    void startWriteBack();
    void fail(Outcome outcome, const QString &error);
    // Renames the checked file over the target; the error, empty on success.
    QString commit();

    std::unique_ptr<QNetworkAccessManager> m_network;
    QNetworkReply *m_reply = nullptr; // owned by m_network until finished
    std::unique_ptr<QTemporaryFile> m_file;
    QByteArray m_block; // one read's worth, kept for the whole fetch
    QString m_fileName;
    QString m_target;
    qint64 m_sizeCap = DefaultSizeCap;
    int m_stallLimitMs = DefaultStallLimitMs;
    qint64 m_received = 0;
    qint64 m_writtenBack = 0; // the file's bytes whose disk writing was started
    qint64 m_total = -1;
    bool m_ending = false;
};
