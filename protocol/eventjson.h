#pragma once

#include "protocol/aulix_remotesyncdll_export.h"

#include <QJsonObject>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class clsRemoteSync;

// Every event of a clsRemoteSync as one JSON object:
// {"event": name, <argument name>: value, ...}. Texts become strings, byte
// arrays lower-case hexadecimal. For the command-line client, logs and tests.
class AULIX_REMOTESYNCDLL_EXPORT RemoteSyncEventJson
{
public:
    // `line` is the event as compact JSON with "event" first and the
    // arguments in their order; `event` is the same as an object.
    using Handler = std::function<void(const QString &line, const QJsonObject &event)>;
    RemoteSyncEventJson(clsRemoteSync *sync, Handler handler);
    ~RemoteSyncEventJson();

    RemoteSyncEventJson(const RemoteSyncEventJson &) = delete;
    RemoteSyncEventJson &operator=(const RemoteSyncEventJson &) = delete;

private:
    std::vector<std::unique_ptr<QObject>> m_forwarders;
};

// Carries out one JSON command on `sync`:
//   {"call": "<send operation>", <argument name>: value, ...}
//   {"call": "SendUserListMsg", "UserCount": n, "UserList": [{"uiUserID":..,
//    "uiUserNick":.., "uiStatus":.., "uiUserType":..}], "CmdVerb": v}
//   {"call": "Send", "mcCommandType": t, "mcCommandVerb": v, "mcDatas": "<hex>"}
//   {"set": "<property>", "value": v}
// Returns an empty text on success, else what was wrong with the command.
AULIX_REMOTESYNCDLL_EXPORT QString InvokeRemoteSyncJson(
    clsRemoteSync &sync, const QJsonObject &command);
