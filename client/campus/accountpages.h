#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// The two account pages of the web host: the user's number
// ("/askdesk/balance/getuserid.asp?username=...") and the campus server's
// address ("/askdesk/balance/"). Both are asynchronous with a time limit;
// a new request of a kind replaces the one still running. A page longer
// than PageLimit is aborted as it arrives and counts as failed. The error
// texts are for the user (translated).
class AccountPages : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeLimitMs = 10000;
    // Either page is a number or an address: anything longer is not one.
    static constexpr qint64 PageLimit = 64 * 1024;

    explicit AccountPages(QObject *parent = nullptr);
    ~AccountPages() override;

    // "host" or "host:port" of the account pages.
    void setWebHost(const QString &host) { m_webHost = host.trimmed(); }
    QString webHost() const { return m_webHost; }
    void setTimeLimit(int ms) { m_timeLimitMs = ms; }

    // Answers with userIdFound.
    void searchUserID(const QString &userName);
    // Answers with balanceFound. When the page fails or names no address,
    // `campusServerIP` (the setting) is the answer and `fromFallback` is true.
    void DoBalance(const QString &campusServerIP);
    // Forgets the running requests; no answer follows.
    void cancel();
    bool isBusy() const { return m_userReply || m_balanceReply; }

Q_SIGNALS:
    // ok false: the page failed or gave no number; `error` says why.
    void userIdFound(bool ok, const QString &userId, const QString &error);
    void balanceFound(const QString &address, bool fromFallback, const QString &error);

private:
    using PageDone = void (AccountPages::*)(QNetworkReply *, const QString &, QString);
    QNetworkReply *get(const QString &path, PageDone done);
    QString pageText(QNetworkReply *reply, bool tooLong, QString &error) const;
    void onUserPage(QNetworkReply *reply, const QString &page, QString error);
    void onBalancePage(QNetworkReply *reply, const QString &page, QString error);

    std::unique_ptr<QNetworkAccessManager> m_network;
    QNetworkReply *m_userReply = nullptr;
    QNetworkReply *m_balanceReply = nullptr;
    QString m_webHost;
    QString m_fallbackAddress;
    int m_timeLimitMs = DefaultTimeLimitMs;
};
