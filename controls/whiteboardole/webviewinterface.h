#pragma once

#include <QtPlugin>
#include <QUrl>

#include <functional>

class QWidget;

// The browser engine lives in a plugin of its own, loaded when the first web
// item is shown: linking it into the control would make every start of the
// client pay for it (tens of megabytes and a helper process).
class WebViewFactory
{
public:
    virtual ~WebViewFactory() = default;

    // A new web view child of `parent`. `mayNavigate` is asked before the page
    // itself moves to another address (a link, a script, a redirect).
    virtual QWidget *createView(QWidget *parent, std::function<bool(const QUrl &)> mayNavigate) = 0;
    virtual void load(QWidget *view, const QUrl &url) = 0;
};

#define WebViewFactory_iid "org.lumoclass.WhiteBoardOLE.WebViewFactory/1.0"
Q_DECLARE_INTERFACE(WebViewFactory, WebViewFactory_iid)

// The entry of the library that makes a window ready for web pages: a new
// OpenGL widget child of `parent`, whose first showing switches the window
// to OpenGL composition.
#define LUMO_WEB_READY_FACTORY "lumo_new_web_ready_widget"
using WebReadyFactory = QWidget *(*)(QWidget *parent);
