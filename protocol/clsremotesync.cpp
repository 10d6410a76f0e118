#include "protocol/clsremotesync.h"

#include "common/errorlog.h"
#include "protocol/framecodec.h"
#include "protocol/messages.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

const QString Module = u"RemoteSync"_s;

// The numbers peers and the client's handlers know socket errors by.
qint16 socketErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError: return 10054;
    case QAbstractSocket::HostNotFoundError: return 11001;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10055;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::NetworkError: return 10050;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError: return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045;
    default: return 10050;
    }
}

const Wire::Failure NotConnected{
    40006, u"Wrong protocol or connection state for the requested transaction or request"_s};

} // namespace

clsRemoteSync::clsRemoteSync(QObject *parent)
    : QObject(parent)
    , m_buffer(std::make_unique<FrameAssembler>())
    , m_nextSlice(std::make_unique<QTimer>())
{
    m_nextSlice->setSingleShot(true);
    m_nextSlice->setInterval(0);
    connect(m_nextSlice.get(), &QTimer::timeout, this, &clsRemoteSync::dispatchSlice);
    attachSocket();
}

void clsRemoteSync::attachSocket()
{
    m_socket = std::make_unique<QTcpSocket>();
    // Qt's own buffer would otherwise take in all the socket has; past it the
    // kernel's window closes and the server has to wait.
    m_socket->setReadBufferSize(ReadAheadLimit);
    connect(m_socket.get(), &QTcpSocket::readyRead, this, &clsRemoteSync::onReadyRead);
    connect(m_socket.get(), &QTcpSocket::connected, this, &clsRemoteSync::onConnected);
    connect(m_socket.get(), &QTcpSocket::disconnected, this, &clsRemoteSync::onDisconnected);
    connect(m_socket.get(), &QTcpSocket::errorOccurred, this, &clsRemoteSync::onErrorOccurred);
}

clsRemoteSync::~clsRemoteSync()
{
    // The socket's own teardown must not call back into a half-destroyed object.
    m_socket->disconnect(this);
}

void clsRemoteSync::setversion(quint8 value)
{
    if (value < 32)
        m_version = value;
}

void clsRemoteSync::setLanguage(quint8 value)
{
    if (value < 8)
        m_Language = value;
}

QString clsRemoteSync::State() const
{
    if (m_inError)
        return u"9"_s;
    switch (m_socket->state()) {
    case QAbstractSocket::UnconnectedState: return u"0"_s;
    case QAbstractSocket::HostLookupState: return u"4"_s;
    case QAbstractSocket::ConnectingState: return u"6"_s;
    case QAbstractSocket::ConnectedState: return u"7"_s;
    case QAbstractSocket::BoundState: return u"1"_s;
    case QAbstractSocket::ListeningState: return u"2"_s;
    case QAbstractSocket::ClosingState: return u"8"_s;
    }
    return u"0"_s;
}

QString clsRemoteSync::LocalPort() const
{
    return QString::number(m_socket->localPort());
}

QString clsRemoteSync::LocalIP() const
{
    const QHostAddress address = m_socket->localAddress();
    return address.isNull() ? QString() : address.toString();
}

void clsRemoteSync::closeSocket()
{
    // A close we ask for is not the peer's close: no DisConnected from the socket.
    m_closingByUs = true;
    if (m_socket->state() == QAbstractSocket::ConnectedState && m_socket->bytesToWrite() > 0) {
        // Last messages (a private talk's end) still wait to be written: an
        // abort would drop them. This socket closes by itself once they are
        // out (what still arrives is read and dropped, so the close is not
        // turned into a reset that loses them), within a limit; the next
        // connection gets a socket of its own.
        QTcpSocket *leaving = m_socket.release();
        leaving->disconnect(this);
        connect(leaving, &QTcpSocket::readyRead, leaving, [leaving] { leaving->readAll(); });
        connect(leaving, &QTcpSocket::disconnected, leaving, &QObject::deleteLater);
        QTimer::singleShot(LastWordsLimitMs, leaving, [leaving] {
            leaving->abort();
            leaving->deleteLater();
        });
        leaving->readAll();
        leaving->disconnectFromHost();
        attachSocket();
    } else {
        m_socket->abort();
    }
    m_closingByUs = false;
    m_inError = false;
}

bool clsRemoteSync::Connect(const QString &RemoteIP, const QString &RemotePort)
{
    m_RemoteIP = RemoteIP.isEmpty() ? DefaultRemoteIP : RemoteIP;
    m_RemotePort = RemotePort.isEmpty() ? DefaultRemotePort : RemotePort;
    closeSocket();
    // A frame cut short by the last connection must not prefix the new
    // stream, nor may its undispatched frames follow the new Connected.
    dropPendingFrames();
    bool ok = false;
    const uint port = m_RemotePort.trimmed().toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        const Wire::Failure failure = Wire::makeFailure(Wire::InvalidArgument);
        Global::WriteErrorLog(Module, u"Connect"_s, failure.description, __LINE__);
        return false;
    }
    if (!m_bindAddress.isEmpty()) {
        const QHostAddress local(m_bindAddress.trimmed());
        if (local.isNull() || !m_socket->bind(local, 0)) {
            Global::WriteErrorLog(Module, u"Connect"_s,
                u"cannot go out from "_s + m_bindAddress + u": "_s + m_socket->errorString(),
                __LINE__);
            m_socket->abort();
            return false;
        }
    }
    m_socket->connectToHost(m_RemoteIP.trimmed(), quint16(port));
    return true;
}

void clsRemoteSync::Disconnect()
{
    const QString address = m_socket->state() == QAbstractSocket::ConnectedState
        ? m_socket->peerAddress().toString()
        : m_lastRemoteAddress;
    closeSocket();
    // What the server sent before belongs to the connection just ended.
    dropPendingFrames();
    Q_EMIT DisConnected(address);
}

bool clsRemoteSync::Send(MsgContent &mcDatas)
{
    mcDatas.mcVersion = m_version;
    mcDatas.mcLanguage = m_Language;
    mcDatas.mcID = m_MyID;
    const QByteArray bytes = ConvertToStream(mcDatas, mcDatas.mcLength + FrameHeaderSize);

    Wire::Failure failure;
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        failure = NotConnected;
    } else if (m_socket->bytesToWrite() + bytes.size() > MaxPendingWrite) {
        // The peer has stopped reading: queueing more would only grow memory.
        failure = {10055,
            u"No buffer space available: %1 bytes wait to be written, %2 more would pass the limit of %3"_s
                .arg(m_socket->bytesToWrite())
                .arg(bytes.size())
                .arg(MaxPendingWrite)};
    } else if (m_socket->write(bytes) != bytes.size()) {
        failure = {socketErrorNumber(m_socket->error()), m_socket->errorString()};
    }
    if (failure) {
        Q_EMIT SystemLog(
            u"Error in Send ["_s + QString::number(failure.number) + u']' + failure.description);
        return false;
    }
    return true;
}

bool clsRemoteSync::Login(qint32 UserType, const QString &PassWord)
{
    Wire::Failure failure;
    const QByteArray payload = Messages::login(UserType, PassWord, failure);
    if (failure) {
        Global::WriteErrorLog(Module, u"Login"_s, failure.description, __LINE__);
        return false;
    }
    MsgContent msg;
    msg.mcCommandType = mtLogin;
    msg.mcCommandVerb = 0;
    msg.mcLength = qint32(payload.size());
    msg.mcDatas = payload;
    return Send(msg);
}

bool clsRemoteSync::LogOut(qint32 UserType)
{
    Q_UNUSED(UserType)
    MsgContent msg;
    msg.mcCommandType = mtLogin;
    msg.mcCommandVerb = 1;
    return Send(msg);
}

QByteArray clsRemoteSync::ConvertToStream(const MsgContent &mcContent, qint32 lngLength)
{
    Wire::Failure failure;
    QByteArray bytes = FrameCodec::ConvertToStream(mcContent, lngLength, failure);
    if (failure) {
        Global::WriteErrorLog(Module, u"ConvertToStream"_s, failure.description, __LINE__);
        Q_EMIT SystemLog(u'[' + QString::number(failure.number) + u']' + failure.description);
        Q_EMIT SystemLog(u"Error in ConvertToStream."_s);
    }
    return bytes;
}

MsgContent clsRemoteSync::ConvertToMessage(const QByteArray &byteStream, qint32 lngLength)
{
    Wire::Failure failure;
    QString warning;
    // Bytes beyond the caller's length are not part of the frame.
    const QByteArrayView frame
        = QByteArrayView(byteStream)
              .first(qBound(qsizetype(0), qsizetype(lngLength), byteStream.size()));
    MsgContent msg = FrameCodec::ConvertToMessage(frame, lngLength, failure, &warning);
    if (!warning.isEmpty())
        Q_EMIT SystemLog(warning);
    if (failure) {
        Global::WriteErrorLog(Module, u"ConvertToMessage"_s, failure.description, __LINE__);
        Q_EMIT SystemLog(u"Error in ConvertToMessage ["_s + QString::number(failure.number) + u']'
            + failure.description);
    }
    return msg;
}

void clsRemoteSync::onConnected()
{
    m_bConnectOk = true;
    m_inError = false;
    m_lastRemoteAddress = m_socket->peerAddress().toString();
    Q_EMIT Connected(m_lastRemoteAddress, QString::number(m_socket->peerPort()));
}

void clsRemoteSync::onDisconnected()
{
    if (m_closingByUs)
        return;
    // Frames still waiting for their slice came before the close: they are
    // dispatched first and DisConnected follows them.
    if (m_nextSlice->isActive() || m_socket->bytesAvailable() > 0) {
        m_peerClosed = true;
        if (!m_nextSlice->isActive())
            m_nextSlice->start();
        return;
    }
    Q_EMIT DisConnected(m_lastRemoteAddress);
}

void clsRemoteSync::onErrorOccurred()
{
    const QAbstractSocket::SocketError error = m_socket->error();
    // The peer's orderly close is reported as DisConnected alone.
    if (error == QAbstractSocket::RemoteHostClosedError || m_closingByUs)
        return;
    m_inError = true;
    Q_EMIT SocketError(
        socketErrorNumber(error), m_socket->errorString(), qint32(error), u"clsRemoteSync"_s);
}

void clsRemoteSync::onReadyRead()
{
    readSocket();
    // While a slice is due, the timer runs it: dispatching here as well
    // would let a busy socket starve the window all the same.
    if (!m_nextSlice->isActive())
        dispatchSlice();
}

void clsRemoteSync::readSocket()
{
    // Read and cut even while disabled: only whole frames are dropped, so a
    // frame split across a switch of bEnabled never corrupts the stream.
    const qint64 count = qMin(m_socket->bytesAvailable(), ReadAheadLimit - m_buffer->pending());
    if (count < 1)
        return;
    const qint64 got = m_socket->read(m_buffer->reserveTail(count), count);
    m_buffer->commit(qMax<qint64>(got, 0));
}

void clsRemoteSync::dispatchSlice()
{
    const QPointer<clsRemoteSync> alive(this);
    const Drain drained = processBuffer(SliceBudgetMs);
    if (drained == Drain::Gone || !alive)
        return;
    // Room was made: what the socket holds back is taken in now, since no
    // new readyRead comes for bytes already in its buffer.
    const qsizetype before = m_buffer->pending();
    readSocket();
    if (drained == Drain::BudgetSpent || m_buffer->pending() != before) {
        m_nextSlice->start();
        return;
    }
    if (m_peerClosed) {
        m_peerClosed = false;
        Q_EMIT DisConnected(m_lastRemoteAddress);
    }
}

void clsRemoteSync::dropPendingFrames()
{
    m_nextSlice->stop();
    m_peerClosed = false;
    m_buffer->clear();
}

void clsRemoteSync::ReceiveBytes(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    m_buffer->append(bytes);
    processBuffer();
}

qsizetype clsRemoteSync::PendingBytes() const
{
    return m_buffer->pending();
}

clsRemoteSync::Drain clsRemoteSync::processBuffer(int budgetMs)
{
    const QPointer<clsRemoteSync> alive(this);
    QElapsedTimer clock;
    if (budgetMs >= 0)
        clock.start();
    // Frames up to this size are decoded from the stack; the copy keeps each
    // frame intact while its handlers run, even if they feed more bytes in.
    constexpr qsizetype StackFrame = 2048;
    while (true) {
        QByteArrayView whole;
        const FrameCodec::CutStatus status = m_buffer->peek(&whole);
        if (status == FrameCodec::CutStatus::Incomplete)
            return Drain::Done;
        if (budgetMs >= 0 && clock.hasExpired(budgetMs))
            return Drain::BudgetSpent;
        if (status == FrameCodec::CutStatus::Refused) {
            // No frame can start here and nothing tells where the next one
            // starts: waiting would leave the client deaf for good.
            const QByteArrayView rest = m_buffer->front();
            const auto *p = reinterpret_cast<const uchar *>(rest.data());
            Q_EMIT SystemLog(u"[Error] Frame header refused (first byte "_s + QString::number(p[0])
                + u", type "_s + QString::number(p[4]) + u"); "_s + QString::number(rest.size())
                + u" buffered bytes dropped, connection closed."_s);
            if (!alive)
                return Drain::Gone;
            m_buffer->clear();
            Disconnect();
            return alive ? Drain::Done : Drain::Gone;
        }

        if (!m_bEnabled) {
            // A whole frame received while disabled is dropped.
            m_buffer->consume(whole.size());
            continue;
        }

        char stackCopy[StackFrame];
        QByteArray heapCopy;
        const char *frameData = stackCopy;
        const qsizetype length = whole.size();
        if (length <= StackFrame) {
            std::memcpy(stackCopy, whole.data(), size_t(length));
        } else {
            heapCopy = whole.toByteArray();
            frameData = heapCopy.constData();
        }
        // Removed before dispatch: a handler may feed more bytes in.
        m_buffer->consume(length);

        Wire::Failure failure;
        const FrameCodec::FrameView frame
            = FrameCodec::viewFrame(QByteArrayView(frameData, length), failure);
        if (failure) {
            Global::WriteErrorLog(Module, u"ConvertToMessage"_s, failure.description, __LINE__);
            Q_EMIT SystemLog(u"Error in ConvertToMessage ["_s + QString::number(failure.number)
                + u']' + failure.description);
            if (!alive)
                return Drain::Gone;
        }
        dispatch(frame);
        if (!alive)
            return Drain::Gone;
    }
}

void clsRemoteSync::sendMessage(quint8 type, qint32 verb, const QByteArray &payload,
    const Wire::Failure &built, const QString &operation, const QString &logModule,
    const QString &falseSendLine, int line)
{
    Wire::Failure failure = built;
    if (payload.size() > 0xFFFF) {
        // The header has 16 bits for the length: a longer payload would be
        // cut short by the peer and the rest read as frames.
        failure = Wire::makeFailure(Wire::Overflow);
    } else {
        MsgContent msg;
        msg.mcCommandType = type;
        msg.mcCommandVerb = verb;
        msg.mcLength = qint32(payload.size());
        msg.mcDatas = payload;
        if (!Send(msg))
            Q_EMIT SystemLog(falseSendLine);
    }
    if (failure) {
        if (!logModule.isEmpty())
            Global::WriteErrorLog(logModule, operation, failure.description, line);
        Q_EMIT SystemLog(u"Error in "_s + operation + u" ["_s + QString::number(failure.number)
            + u']' + failure.description);
    }
}

void clsRemoteSync::reportFailure(const Wire::Failure &failure, const QString &closingLine)
{
    Q_EMIT SystemLog(closingLine + QString::number(failure.number) + u']' + failure.description);
}
