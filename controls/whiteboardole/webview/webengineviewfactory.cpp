// The web view plugin of the presentation control: the only code of the
// control that links the browser engine.
#include "controls/whiteboardole/webviewinterface.h"

#include <QObject>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

class GuardedPage : public QWebEnginePage
{
public:
    GuardedPage(std::function<bool(const QUrl &)> mayNavigate, QObject *parent)
        : QWebEnginePage(parent)
        , m_mayNavigate(std::move(mayNavigate))
    { }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        // Sub-frames go through the same rule: a page of the course must not
        // frame local files from elsewhere either.
        Q_UNUSED(isMainFrame);
        return !m_mayNavigate || m_mayNavigate(url);
    }

    QWebEnginePage *createWindow(WebWindowType) override
    {
        // Pop-ups and new tabs stay in the one view: nothing opens beside
        // the whiteboard.
        return this;
    }

private:
    std::function<bool(const QUrl &)> m_mayNavigate;
};

} // namespace

class WebEngineViewFactory : public QObject, public WebViewFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID WebViewFactory_iid)
    Q_INTERFACES(WebViewFactory)

public:
    QWidget *createView(QWidget *parent, std::function<bool(const QUrl &)> mayNavigate) override
    {
        auto *view = new QWebEngineView(parent);
        auto *page = new GuardedPage(std::move(mayNavigate), view);
        // A course page is shown, not a browsing session: no file access
        // beyond what the navigation rule allows, nothing kept on the disk.
        page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        view->setPage(page);
        return view;
    }

    void load(QWidget *view, const QUrl &url) override
    {
        if (auto *web = qobject_cast<QWebEngineView *>(view))
            web->load(url);
    }
};

#include "webengineviewfactory.moc"
