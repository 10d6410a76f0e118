#include "client/campus/accountpages.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <memory>

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

QNetworkReply *AccountPages::get(const QString &pathAndQuery, PageDone done)
{
    QNetworkRequest request(QUrl(u"http://"_s + m_webHost + pathAndQuery));
    QNetworkReply *reply = m_network->get(request);
    // The network side holds at most this much ahead of us; a page that
    // grows past the limit is aborted there, so a peer sending without end
    // costs a few blocks, not its whole answer (again at every reconnect).
    reply->setReadBufferSize(2 * PageLimit);
    auto tooLong = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::readyRead, this, [reply, tooLong] {
        if (reply->bytesAvailable() > PageLimit) {
            *tooLong = true;
            reply->abort(); // finished() follows at once
        }
    });
    // The limit covers the whole page (a few bytes), not only silence; an
    // aborted reply finishes with OperationCanceledError.
    QTimer::singleShot(m_timeLimitMs, reply, [reply] { reply->abort(); });
    connect(reply, &QNetworkReply::finished, this, [this, reply, tooLong, done] {
        reply->deleteLater();
        QString error;
        const QString text = pageText(reply, *tooLong, error);
        (this->*done)(reply, text, error);
    });
    return reply;
}

QString AccountPages::pageText(QNetworkReply *reply, bool tooLong, QString &error) const
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (tooLong)
        error = tr("网页的内容超过 %1 KB").arg(PageLimit / 1024);
    else if (reply->error() == QNetworkReply::OperationCanceledError)
        error = tr("网页在 %1 秒内没有回答").arg(m_timeLimitMs / 1000.0);
    else if (reply->error() != QNetworkReply::NoError && status == 0)
        error = reply->errorString();
    else if (status != 200)
        error = tr("网页回答 HTTP %1").arg(status);
    if (!error.isEmpty())
        return {};
    return QString::fromUtf8(reply->read(PageLimit));
}

void AccountPages::searchUserID(const QString &userName)
{
    drop(m_userReply);
    QUrlQuery query;
    query.addQueryItem(u"username"_s, QString::fromLatin1(QUrl::toPercentEncoding(userName)));
    m_userReply = get(u"/askdesk/balance/getuserid.asp?"_s + query.toString(QUrl::FullyEncoded),
        &AccountPages::onUserPage);
}

void AccountPages::onUserPage(QNetworkReply *reply, const QString &page, QString error)
{
    if (reply != m_userReply)
        return;
    m_userReply = nullptr;
    const QString text = page.trimmed();
    bool ok = false;
    text.toInt(&ok);
    if (error.isEmpty() && !ok)
        error = tr("网页没有给出用户编号");
    Q_EMIT userIdFound(error.isEmpty(), error.isEmpty() ? text : QString(), error);
}

void AccountPages::DoBalance(const QString &campusServerIP)
{
    drop(m_balanceReply);
    m_fallbackAddress = campusServerIP.trimmed();
    m_balanceReply = get(u"/askdesk/balance/"_s, &AccountPages::onBalancePage);
}

void AccountPages::onBalancePage(QNetworkReply *reply, const QString &page, QString error)
{
    if (reply != m_balanceReply)
        return;
    m_balanceReply = nullptr;
    const QString text = page.trimmed();
    if (error.isEmpty() && text.isEmpty())
        error = tr("网页没有给出服务器地址");
    if (!error.isEmpty())
        Q_EMIT balanceFound(m_fallbackAddress, true, error);
    else
        Q_EMIT balanceFound(text, false, {});
}

void AccountPages::cancel()
{
    drop(m_userReply);
    drop(m_balanceReply);
}
