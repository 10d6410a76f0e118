#include "tools/lumo-cli/clisession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void writeLine(FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

CliSession::CliSession(const CliOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    m_events = std::make_unique<RemoteSyncEventJson>(
        &m_sync, [](const QString &line, const QJsonObject &) { writeLine(stdout, line); });

    connect(&m_sync, &clsRemoteSync::Connected, this, [this] {
        m_connected = true;
        m_everConnected = true;
        if (m_options.campus)
            m_sync.SendCampusLoginMsg(m_options.password);
        else
            m_sync.Login(1, m_options.password);
        const QList<QByteArray> waiting = std::exchange(m_waiting, {});
        for (const QByteArray &line : waiting)
            runCommand(line);
        finishIfDone();
    });
    connect(&m_sync, &clsRemoteSync::DisConnected, this, [this] {
        m_connected = false;
        // Queued so that the event line is out before the program may end.
        QTimer::singleShot(0, this, &CliSession::finishIfDone);
    });
    connect(&m_sync, &clsRemoteSync::SocketError, this,
        [this](qint16 number, const QString &description) {
            if (m_everConnected)
                return;
            writeLine(stderr,
                u"lumo-cli: cannot connect to "_s + m_options.host + u':' + m_options.port + u": "_s
                    + description + u" ("_s + QString::number(number) + u')');
            m_finished = true;
            Q_EMIT finished(1);
        });
}

void CliSession::start()
{
    if (m_options.hasId)
        m_sync.setMyID(m_options.id);
    m_input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(m_input.get(), &QSocketNotifier::activated, this, &CliSession::onInputReady);
    if (!m_sync.Connect(m_options.host, m_options.port)) {
        writeLine(stderr, u"lumo-cli: bad address "_s + m_options.host + u':' + m_options.port);
        m_finished = true;
        QTimer::singleShot(0, this, [this] { Q_EMIT finished(1); });
    }
}

void CliSession::onInputReady()
{
    char buffer[65536];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        m_input->setEnabled(false);
        if (!m_partialLine.isEmpty())
            handleLine(std::exchange(m_partialLine, {}));
        m_inputEnded = true;
        finishIfDone();
        return;
    }
    m_partialLine.append(buffer, got);
    qsizetype newline;
    while ((newline = m_partialLine.indexOf('\n')) >= 0) {
        const QByteArray line = m_partialLine.left(newline);
        m_partialLine.remove(0, newline + 1);
        handleLine(line);
    }
}

void CliSession::handleLine(const QByteArray &line)
{
    if (line.trimmed().isEmpty())
        return;
    if (!m_connected && !m_everConnected) {
        m_waiting.append(line);
        return;
    }
    runCommand(line);
}

void CliSession::runCommand(const QByteArray &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError) {
        printError(error.errorString(), line);
        return;
    }
    if (!document.isObject()) {
        printError(u"a JSON object is expected"_s, line);
        return;
    }
    const QString problem = InvokeRemoteSyncJson(m_sync, document.object());
    if (!problem.isEmpty())
        printError(problem, line);
}

void CliSession::printError(const QString &message, const QByteArray &line)
{
    const QJsonObject error{{u"error"_s, message}, {u"line"_s, QString::fromUtf8(line)}};
    writeLine(stderr, QString::fromUtf8(QJsonDocument(error).toJson(QJsonDocument::Compact)));
}

void CliSession::finishIfDone()
{
    if (m_finished || !m_inputEnded || m_connected || !m_waiting.isEmpty())
        return;
    if (!m_everConnected && m_sync.State() != u"0"_s && m_sync.State() != u"9"_s)
        return; // still connecting: the outcome decides
    m_finished = true;
    Q_EMIT finished(0);
}
