#include "protocol/eventjson.h"

#include "protocol/clsremotesync.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaMethod>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {

// Receives one signal of one object and hands over its raw arguments; the
// way QSignalSpy listens to a signal known only at run time.
class SignalForwarder : public QObject
{
public:
    SignalForwarder(QObject *source, const QMetaMethod &signal,
        std::function<void(const QMetaMethod &, void **)> callback)
        : m_signal(signal)
        , m_callback(std::move(callback))
    {
        QMetaObject::connect(source, signal.methodIndex(), this,
            QObject::staticMetaObject.methodCount(), Qt::DirectConnection);
    }

    int qt_metacall(QMetaObject::Call call, int id, void **args) override
    {
        id = QObject::qt_metacall(call, id, args);
        if (id < 0)
            return id;
        if (call == QMetaObject::InvokeMetaMethod) {
            if (id == 0)
                m_callback(m_signal, args);
            --id;
        }
        return id;
    }

private:
    QMetaMethod m_signal;
    std::function<void(const QMetaMethod &, void **)> m_callback;
};

QJsonValue toJson(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QByteArray: return QString::fromLatin1(value.toByteArray().toHex());
    case QMetaType::QString: return value.toString();
    case QMetaType::Bool: return value.toBool();
    default: return value.toLongLong();
    }
}

// One JSON value as compact text.
QString jsonText(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.sliced(1, array.size() - 2));
}

bool fromJson(const QJsonValue &json, QMetaType type, QVariant &out)
{
    switch (type.id()) {
    case QMetaType::QString:
        if (!json.isString())
            return false;
        out = json.toString();
        return true;
    case QMetaType::Bool:
        if (!json.isBool() && !json.isDouble())
            return false;
        out = json.isBool() ? json.toBool() : json.toDouble() != 0;
        return true;
    default: {
        if (!json.isDouble())
            return false;
        out = QVariant(json.toInteger());
        return out.convert(type);
    }
    }
}

QString invokeMethod(clsRemoteSync &sync, const QString &name, const QJsonObject &command)
{
    const QMetaObject *meta = sync.metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Method
            || QString::fromLatin1(method.name()) != name)
            continue;
        const QList<QByteArray> names = method.parameterNames();
        // Overloads with default arguments: take the one whose parameters are
        // all given (or the longest when some are left out).
        bool allGiven = true;
        for (const QByteArray &parameter : names)
            allGiven = allGiven && command.contains(QString::fromLatin1(parameter));
        if (!allGiven && i + 1 < meta->methodCount() && meta->method(i + 1).name() == method.name())
            continue;
        QVariant values[10];
        QGenericArgument args[10];
        for (int p = 0; p < names.size(); ++p) {
            const QString parameter = QString::fromLatin1(names[p]);
            const QJsonValue json = command.value(parameter);
            if (json.isUndefined()) {
                values[p] = QVariant(method.parameterMetaType(p));
            } else if (!fromJson(json, method.parameterMetaType(p), values[p])) {
                return u"argument "_s + parameter + u" must be "_s
                    + QString::fromLatin1(method.parameterMetaType(p).name());
            }
            args[p] = QGenericArgument(method.parameterMetaType(p).name(), values[p].constData());
        }
        const bool ok = method.invoke(&sync, Qt::DirectConnection, args[0], args[1], args[2],
            args[3], args[4], args[5], args[6], args[7], args[8], args[9]);
        return ok ? QString() : u"call failed"_s;
    }
    return u"no such operation: "_s + name;
}

} // namespace

RemoteSyncEventJson::RemoteSyncEventJson(clsRemoteSync *sync, Handler handler)
{
    const QMetaObject *meta = sync->metaObject();
    auto shared = std::make_shared<Handler>(std::move(handler));
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod signal = meta->method(i);
        if (signal.methodType() != QMetaMethod::Signal)
            continue;
        m_forwarders.push_back(std::make_unique<SignalForwarder>(
            sync, signal, [shared](const QMetaMethod &method, void **args) {
                const QString name = QString::fromLatin1(method.name());
                QJsonObject event{{u"event"_s, name}};
                QString line = u"{\"event\":"_s + jsonText(name);
                const QList<QByteArray> names = method.parameterNames();
                for (int p = 0; p < names.size(); ++p) {
                    const QString key = QString::fromLatin1(names[p]);
                    const QJsonValue value
                        = toJson(QVariant(method.parameterMetaType(p), args[p + 1]));
                    event.insert(key, value);
                    line += u',' + jsonText(key) + u':' + jsonText(value);
                }
                line += u'}';
                (*shared)(line, event);
            }));
    }
}

RemoteSyncEventJson::~RemoteSyncEventJson() = default;

QString InvokeRemoteSyncJson(clsRemoteSync &sync, const QJsonObject &command)
{
    if (command.contains(u"set"_s)) {
        const QString property = command.value(u"set"_s).toString();
        const QMetaObject *meta = sync.metaObject();
        const int index = meta->indexOfProperty(property.toLatin1().constData());
        if (index < 0 || !meta->property(index).isWritable())
            return u"no such writable property: "_s + property;
        QVariant value;
        if (!fromJson(command.value(u"value"_s), meta->property(index).metaType(), value))
            return u"bad value for "_s + property;
        return meta->property(index).write(&sync, value) ? QString() : u"write refused"_s;
    }

    const QString call = command.value(u"call"_s).toString();
    if (call.isEmpty())
        return u"an object with \"call\" or \"set\" is expected"_s;

    if (call == u"SendUserListMsg"_s) {
        QList<UserInfo> users;
        for (const QJsonValue &entry : command.value(u"UserList"_s).toArray()) {
            const QJsonObject user = entry.toObject();
            users.append({qint32(user.value(u"uiUserID"_s).toInteger()),
                user.value(u"uiUserNick"_s).toString(),
                quint8(user.value(u"uiStatus"_s).toInteger()),
                quint8(user.value(u"uiUserType"_s).toInteger())});
        }
        const qint64 count = command.value(u"UserCount"_s).toInteger(users.size());
        sync.SendUserListMsg(qint32(count), users, qint16(command.value(u"CmdVerb"_s).toInteger()));
        return {};
    }
    if (call == u"Send"_s) {
        MsgContent msg;
        msg.mcCommandType = quint8(command.value(u"mcCommandType"_s).toInteger());
        msg.mcCommandVerb = qint32(command.value(u"mcCommandVerb"_s).toInteger());
        msg.mcDatas = QByteArray::fromHex(command.value(u"mcDatas"_s).toString().toLatin1());
        msg.mcLength = qint32(command.value(u"mcLength"_s).toInteger(msg.mcDatas.size()));
        sync.Send(msg);
        return {};
    }
    return invokeMethod(sync, call, command);
}
