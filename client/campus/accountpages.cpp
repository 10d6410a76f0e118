#include "client/campus/accountpages.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {
void drop(QNetworkReply *&reply)
{
    if (!reply)
        return;
    QNetworkReply *old = std::exchange(reply, nullptr);
    old->disconnect();
    old->abort();
    old->deleteLater();
}
} // namespace

AccountPages::AccountPages(QObject *parent)
    : QObject(parent)
    , m_network(std::make_unique<QNetworkAccessManager>())
{ }

AccountPages::~AccountPages()
{
    cancel();
}

QNetworkReply *AccountPages::get(const QString &pathAndQuery)
{
    QNetworkRequest request(QUrl(u"http://"_s + m_webHost + pathAndQuery));
    QNetworkReply *reply = m_network->get(request);
    // The limit covers the whole page (a few bytes), not only silence; an
    // aborted reply finishes with OperationCanceledError.
    QTimer::singleShot(m_timeLimitMs, reply, [reply] { reply->abort(); });
    return reply;
}

QString AccountPages::pageText(QNetworkReply *reply, QString &error)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::OperationCanceledError)
        error = u"no answer in time"_s;
    else if (reply->error() != QNetworkReply::NoError && status == 0)
        error = reply->errorString();
    else if (status != 200)
        error = u"HTTP %1"_s.arg(status);
    if (!error.isEmpty())
        return {};
    return QString::fromUtf8(reply->read(64 * 1024));
}

void AccountPages::searchUserID(const QString &userName)
{
    drop(m_userReply);
    QUrlQuery query;
    query.addQueryItem(u"username"_s, QString::fromLatin1(QUrl::toPercentEncoding(userName)));
    m_userReply = get(u"/askdesk/balance/getuserid.asp?"_s + query.toString(QUrl::FullyEncoded));
    connect(m_userReply, &QNetworkReply::finished, this, [this] {
        QNetworkReply *reply = std::exchange(m_userReply, nullptr);
        reply->deleteLater();
        QString error;
        const QString text = pageText(reply, error).trimmed();
        bool ok = false;
        text.toInt(&ok);
        if (error.isEmpty() && !ok)
            error = u"the page gave no user number"_s;
        Q_EMIT userIdFound(error.isEmpty(), error.isEmpty() ? text : QString(), error);
    });
}

void AccountPages::DoBalance(const QString &campusServerIP)
{
    drop(m_balanceReply);
    m_balanceReply = get(u"/askdesk/balance/"_s);
    connect(m_balanceReply, &QNetworkReply::finished, this, [this, campusServerIP] {
        QNetworkReply *reply = std::exchange(m_balanceReply, nullptr);
        reply->deleteLater();
        QString error;
        const QString text = pageText(reply, error).trimmed();
        if (error.isEmpty() && text.isEmpty())
            error = u"the page named no address"_s;
        if (!error.isEmpty())
            Q_EMIT balanceFound(campusServerIP.trimmed(), true, error);
        else
            Q_EMIT balanceFound(text, false, {});
    });
}

void AccountPages::cancel()
{
    drop(m_userReply);
    drop(m_balanceReply);
}
