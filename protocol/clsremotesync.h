#pragma once

#include "protocol/aulix_remotesyncdll_export.h"
#include "protocol/msgtypes.h"
#include "protocol/wire.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QTcpSocket;
class QTimer;
class FrameAssembler;

namespace FrameCodec {
struct FrameView;
}

// The client's one connection to the campus and classroom servers: frames
// out, frames in, one event per received message.
//
// Events are emitted synchronously: a handler runs to its end before the
// next frame is cut. A handler may call any operation of this class,
// Disconnect and Connect included, and may even delete the object.
//
// Frames from the socket are dispatched in slices of at most SliceBudgetMs;
// what is left waits for the next turn of the event loop, so a flood from
// the server never freezes the window. Order is kept; Connect and
// Disconnect drop what waits. At most ReadAheadLimit bytes are taken from
// the socket ahead of dispatch: past it the server is slowed down by TCP
// instead of filling memory. The peer's close is reported after the frames
// it sent before closing.
class AULIX_REMOTESYNCDLL_EXPORT clsRemoteSync : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool bEnabled READ bEnabled WRITE setbEnabled)
    Q_PROPERTY(bool bConnectOk READ bConnectOk WRITE setbConnectOk)
    Q_PROPERTY(qint32 CurrPlayerPos READ CurrPlayerPos WRITE setCurrPlayerPos)
    Q_PROPERTY(bool bMediaFile READ bMediaFile WRITE setbMediaFile)
    Q_PROPERTY(QString RemoteIP READ RemoteIP WRITE setRemoteIP)
    Q_PROPERTY(QString RemotePort READ RemotePort WRITE setRemotePort)
    Q_PROPERTY(quint8 version READ version WRITE setversion)
    Q_PROPERTY(quint8 Language READ Language WRITE setLanguage)
    Q_PROPERTY(qint32 MyID READ MyID WRITE setMyID)
    Q_PROPERTY(QString State READ State)
    Q_PROPERTY(QString LocalPort READ LocalPort)
    Q_PROPERTY(QString LocalIP READ LocalIP)

public:
    explicit clsRemoteSync(QObject *parent = nullptr);
    ~clsRemoteSync() override;

    static inline const QString DefaultRemoteIP = QStringLiteral("127.0.0.1");
    static inline const QString DefaultRemotePort = QStringLiteral("2001");
    // What may wait to be written; past it Send fails instead of queueing.
    static constexpr qint64 MaxPendingWrite = qint64(8) << 20;
    // Time one slice of dispatch may take before the window gets its turn.
    // A slice overruns by its last frame's handlers, and a board paint may
    // follow in the same turn of the event loop: both within one frame.
    static constexpr int SliceBudgetMs = 4;
    // Bytes read from the socket and not yet dispatched, at most.
    static constexpr qint64 ReadAheadLimit = qint64(4) << 20;

    bool bEnabled() const { return m_bEnabled; }
    void setbEnabled(bool value) { m_bEnabled = value; }
    bool bConnectOk() const { return m_bConnectOk; }
    void setbConnectOk(bool value) { m_bConnectOk = value; }
    qint32 CurrPlayerPos() const { return m_CurrPlayerPos; }
    void setCurrPlayerPos(qint32 value) { m_CurrPlayerPos = value; }
    bool bMediaFile() const { return m_bMediaFile; }
    void setbMediaFile(bool value) { m_bMediaFile = value; }
    QString RemoteIP() const { return m_RemoteIP; }
    void setRemoteIP(const QString &value) { m_RemoteIP = value; }
    QString RemotePort() const { return m_RemotePort; }
    void setRemotePort(const QString &value) { m_RemotePort = value; }
    quint8 version() const { return m_version; }
    // Values of 32 or more do not fit the header and are ignored.
    void setversion(quint8 value);
    quint8 Language() const { return m_Language; }
    // Values of 8 or more do not fit the header and are ignored.
    void setLanguage(quint8 value);
    qint32 MyID() const { return m_MyID; }
    void setMyID(qint32 value) { m_MyID = value; }

    // The socket's state as a number: 0 closed, 3 connection pending,
    // 4 resolving host, 6 connecting, 7 connected, 8 peer closing, 9 error.
    QString State() const;
    QString LocalPort() const;
    QString LocalIP() const;
    // The local address the connection goes out from; empty (the default)
    // leaves the choice to the system. For a machine with several
    // addresses, and for several clients on one machine.
    QString BindAddress() const { return m_bindAddress; }
    void setBindAddress(const QString &value) { m_bindAddress = value; }

    // Asks for a connection; true means the request was accepted, the outcome
    // arrives as Connected or SocketError. Empty arguments mean the defaults.
    Q_INVOKABLE bool Connect(const QString &RemoteIP = {}, const QString &RemotePort = {});
    // Closes the socket and raises DisConnected, connected or not.
    Q_INVOKABLE void Disconnect();
    // Stamps version, language and MyID into `mcDatas` and writes the frame.
    bool Send(MsgContent &mcDatas);
    Q_INVOKABLE bool Record(bool boolSwitcher) { return boolSwitcher; }
    // Classroom login. A password of more than 16 non-zero bytes or a
    // UserType outside 0-255 is refused before anything is sent.
    Q_INVOKABLE bool Login(qint32 UserType, const QString &PassWord);
    Q_INVOKABLE bool LogOut(qint32 UserType = 0);

    // The frame codec, with the diagnostics of this object.
    QByteArray ConvertToStream(const MsgContent &mcContent, qint32 lngLength);
    MsgContent ConvertToMessage(const QByteArray &byteStream, qint32 lngLength);

    // Classroom messages.
    Q_INVOKABLE void SendNoteMessage(qint32 FromID, qint32 ToID, const QString &Message);
    Q_INVOKABLE void SendPlayMsg(qint32 TreeNodeID);
    Q_INVOKABLE void SendPlayMsgAd(qint32 TreeNodeID, qint32 PlayVerb);
    Q_INVOKABLE void SendWhiteBoardMsg(qint32 ShapeType, qint32 x1, qint32 y1, qint32 x2, qint32 y2,
        qint32 LineWidth, qint32 Color, const QString &strMark, qint16 FontSize,
        const QString &FontName);
    Q_INVOKABLE void SendMPVolumeMsg(qint32 UserID, qint32 VolumeValue);
    Q_INVOKABLE void SendSPVolumeMsg(qint32 UserID, qint32 VolumeValue);
    Q_INVOKABLE void SendEnableMsg(qint32 GlobalStatus);
    Q_INVOKABLE void SendGlobalSpeakStatus(bool boolValue);
    Q_INVOKABLE void SendGlobalWhiteBoardStatus(bool boolValue);
    Q_INVOKABLE void SendGlobalNoteStatus(bool boolValue);
    Q_INVOKABLE void SendGlobalVoiceStatus(bool boolValue);
    Q_INVOKABLE void SendURLMsg(const QString &strURL);
    Q_INVOKABLE void SendPromptMsg(const QString &strQuestion);
    Q_INVOKABLE void SendAnswerMsg(bool boolYes);
    Q_INVOKABLE void SendOKPromptMsg(const QString &strQuestion);
    Q_INVOKABLE void SendOKAnswerMsg(bool boolYes);
    void SendUserListMsg(qint32 UserCount, const QList<UserInfo> &UserList, qint16 CmdVerb);
    Q_INVOKABLE void SendMicroPhoneRequestion(bool boolRequestion);
    Q_INVOKABLE void SendMsgRefreshUserList();
    Q_INVOKABLE void SendMsgGetClientKey();
    Q_INVOKABLE void SendMsgClientReady();
    Q_INVOKABLE void SendMsgRefreshWhiteBoard();

    // Campus messages.
    Q_INVOKABLE void SendCampusLoginMsg(const QString &strPassword);
    Q_INVOKABLE void SendCampusCourseListMsg(qint16 CmdVerb);
    Q_INVOKABLE void SendCampusListMsg();
    Q_INVOKABLE void SendCampusChooseCourseMsg(qint32 CourseID, qint32 CmdVerb);
    Q_INVOKABLE void SendCampusSetCourseMsg(qint32 CourseID, const QString &CourseTime,
        qint32 MaxUserNumber, const QString &CourseDesc, const QString &CourseName);
    Q_INVOKABLE void SendCampusNewCourseMsg();
    Q_INVOKABLE void SendCampusUploadCompleteMsg(qint32 CourseID, qint32 CampusID,
        const QString &CourseName, qint32 TeacherID, const QString &CourseIP);
    Q_INVOKABLE void SendCampusUploadFailureMsg(qint32 CourseID);
    Q_INVOKABLE void SendCampusLogOutMsg();

    // The receive path without a socket: appends `bytes` as if they had just
    // arrived and dispatches every whole frame at once, with no slices
    // (drops it while bEnabled is false). For tests and benchmarks.
    void ReceiveBytes(QByteArrayView bytes);
    // Bytes received and not yet cut into frames.
    qsizetype PendingBytes() const;

Q_SIGNALS:
    // Diagnostics: unrecognised messages, decoding failures, failed sends,
    // a refused frame header that closed the connection. Most have no
    // error-log entry of their own; the student client writes each one.
    void SystemLog(const QString &strDebugMessage);
    void SocketError(
        qint16 Number, const QString &Description, qint32 Scode, const QString &Source);
    void Connected(const QString &strRemoteIP, const QString &strRemotePort);
    void DisConnected(const QString &strRemoteIP);
    void GetNoteMessage(qint32 FromID, qint32 ToID, const QString &Message);
    void GetMsgLogIn(qint32 UserID, qint32 UserType); // never raised
    void GetMsgLogOut(qint32 UserID);
    void GetMsgWhiteBoard(qint32 ShapeType, qint32 x1, qint32 y1, qint32 x2, qint32 y2,
        qint32 LineWidth, qint32 Color, const QString &strMessage, qint16 FontSize,
        const QString &FontName);
    void GetMsgPlay(qint32 TreeNodeID); // never raised
    void GetMsgPlayAd(qint32 TreeNodeID, qint32 PlayVerb); // never raised
    void GetMsgPlayNew(qint32 TreeNodeID, qint32 PlayVerb, bool boolMediaFile);
    void GetMsgMPVolume(qint32 UserID, qint32 VolumeValue);
    void GetMsgSPVolume(qint32 UserID, qint32 VolumeValue);
    void GetMsgEnable(qint32 UserStatus);
    void GetMsgURL(qint32 lngLength, const QString &strURL);
    void GetMsgYESNOPrompt(qint32 lngLength, const QString &strMessage);
    // Raised for a teacher's host, which reads the students' answers; the
    // student client only answers (SendAnswerMsg) and offers no questions.
    void GetMsgYESNOAnswer(qint32 UserID, bool boolYes);
    void GetMsgOKPrompt(qint32 lngLength, const QString &strMessage);
    // Raised for a teacher's host, as GetMsgYESNOAnswer.
    void GetMsgOKAnswer(qint32 UserID, bool boolYes);
    void GetMsgUserList(qint32 Count, const QString &strUserList, qint16 CmdVerb);
    void GetMsgMicroPhoneRelease();
    void GetMsgMicroPhoneHold();
    void GetMsgGlobalVoiceStatus(bool boolValue);
    void GetMsgGlobalNoteStatus(bool boolValue);
    void GetMsgGlobalSpeakStatus(bool boolValue);
    void GetMsgGlobalWhiteBoardStatus(bool boolValue);
    void GetMsgClientKey(const QByteArray &UserClientKey, qint32 KeyLength);
    void GetMsgCampusLogIn(bool Result);
    // The answer to SendCampusLogOutMsg, for hosts that log out of the
    // campus; the student client never sends it (it leaves by closing the
    // connection), so it gets no answer to act on.
    void GetMsgCampusLogOut(bool Result);
    void GetMsgCampusCourseList(qint32 Count, const QString &strCourseList, qint32 CmdVerb);
    void GetMsgCampusList(qint32 Count, const QString &strCampusList);
    // The answer to SendCampusChooseCourseMsg, for hosts that wait for it.
    // The student client leaves the campus server right after choosing and
    // lets the classroom login decide; the answers to its cancels change
    // nothing it shows.
    void GetMsgCampusChooseCourse(bool Result);
    void GetMsgCampusSetCourse(bool Result); // never raised
    // Raised for a teacher's host, which creates courses and uploads their
    // courseware; the student client offers neither.
    void GetMsgCampusNewCourse(bool Result, qint32 NewCourseID);
    void GetMsgCampusUploadComplete(bool Result);

private:
    void onReadyRead();
    void onConnected();
    void onDisconnected();
    void onErrorOccurred();
    enum class Drain { Done, BudgetSpent, Gone };
    // Dispatches whole frames until none is left or, with a budget, until
    // it is spent. Gone: a handler deleted the object.
    Drain processBuffer(int budgetMs = -1);
    void readSocket();
    void dispatchSlice();
    void dropPendingFrames();
    void closeSocket();
    void dispatch(const FrameCodec::FrameView &frame);
    // Sends a frame built by a send operation and reports as its table row says.
    void sendMessage(quint8 type, qint32 verb, const QByteArray &payload,
        const Wire::Failure &built, const QString &operation, const QString &logModule,
        const QString &falseSendLine, int line);
    void reportFailure(const Wire::Failure &failure, const QString &closingLine);

    // Decoders, one per message type.
    void OnNotes(const FrameCodec::FrameView &frame);
    void OnWhiteBoard(const FrameCodec::FrameView &frame);
    void OnPlay(const FrameCodec::FrameView &frame, Wire::Failure &failure);
    void OnVolume(const FrameCodec::FrameView &frame, Wire::Failure &failure);
    void OnEnable(const FrameCodec::FrameView &frame);
    void OnYesNoOrOk(const FrameCodec::FrameView &frame, Wire::Failure &failure);
    bool OnUserList(const FrameCodec::FrameView &frame, Wire::Failure &failure);
    void OnCampusCourseList(const FrameCodec::FrameView &frame);
    void OnCampusList(const FrameCodec::FrameView &frame);

    // How long a closed connection may take to write its last messages.
    static constexpr int LastWordsLimitMs = 2000;
    void attachSocket();
    std::unique_ptr<QTcpSocket> m_socket;
    std::unique_ptr<FrameAssembler> m_buffer;
    std::unique_ptr<QTimer> m_nextSlice; // zero-time: the next turn of the event loop
    bool m_peerClosed = false; // DisConnected waits for the frames sent before the close
    bool m_closingByUs = false;
    bool m_inError = false;
    QString m_lastRemoteAddress;

    bool m_bEnabled = true;
    bool m_bConnectOk = false;
    qint32 m_CurrPlayerPos = 0;
    bool m_bMediaFile = false;
    QString m_RemoteIP = DefaultRemoteIP;
    QString m_RemotePort = DefaultRemotePort;
    quint8 m_version = 1;
    quint8 m_Language = 1;
    qint32 m_MyID = 0;
    QString m_bindAddress;
};
