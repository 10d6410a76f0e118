#include "controls/whiteboardole/whiteboardole.h"

#include "common/apppaths.h"
#include "common/errorlog.h"
#include "controls/whiteboardole/picturearea.h"
#include "controls/whiteboardole/playwindow.h"
#include "controls/whiteboardole/webviewinterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibrary>
#include <QOpenGLContext>
#include <QPainter>
#include <QPluginLoader>
#include <QPointer>
#include <QTimer>

#include <dlfcn.h>

QT_BEGIN_NAMESPACE
// Exported by Qt GUI (public symbol version) though declared in a private
// header: the context every later OpenGL context shares with.
Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);
QT_END_NAMESPACE

using namespace Qt::StringLiterals;

namespace {

const QString ModuleName = u"WhiteBoardOLE"_s;
const QString PlayingText = u"Playing"_s;
const QString PausedText = u"Paused"_s;
const QString StoppedText = u"Stopped"_s;

// 1000 twips, the height of the window of a sound item, at 15 twips a pixel.
constexpr int SoundWindowHeight = 1000 / 15;
constexpr QSize VideoWindowSize(320, 240);

// The folder of this library: an installed client keeps the web view plugin
// beside it, a build tree beside the executables.
QString LibraryFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void *>(&LibraryFolder), &info) && info.dli_fname)
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
    return {};
}

// `symbol` of one of the libraries shipped beside this one (or in the
// application's folder, or on the system's library path), loaded for the
// rest of the run as a linked library would be. Null with the loader's
// reason in `error` when none of the places has it.
QFunctionPointer ResolveInOwnLibrary(const QString &fileName, const char *symbol, QString *error)
{
    QStringList candidates;
    for (const QString &folder : {LibraryFolder(), Global::ApplicationFolder()}) {
        if (!folder.isEmpty())
            candidates << QDir(folder).filePath(fileName);
    }
    candidates << fileName;
    for (const QString &candidate : std::as_const(candidates)) {
        QLibrary library(candidate);
        if (const QFunctionPointer found = library.resolve(symbol))
            return found;
        *error = library.errorString();
    }
    return nullptr;
}

QUrl MediaUrl(const QString &source)
{
    const QUrl asUrl(source, QUrl::StrictMode);
    const QString scheme = asUrl.scheme().toLower();
    if (scheme == u"http"_s || scheme == u"https"_s)
        return asUrl;
    if (QFileInfo(source).isFile())
        return QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath());
    return {};
}

} // namespace

class WhiteBoardOLEPrivate
{
public:
    explicit WhiteBoardOLEPrivate(WhiteBoardOLE *owner)
        : q(owner)
    { }

    bool fail(const QString &method, const QString &description, int line);
    bool failIfPropertyError(const QString &method);
    bool showPicture(const QString &method);
    bool showWeb(const QString &method);
    bool loadWebPlugin(QString *error);
    // Null (and the failure logged for `method`) when the player library
    // cannot be had.
    PlayWindow *openPlayForm(const QString &method);
    bool loadPlayer(QString *error);
    void closePlayForm();
    void onPlayStateChanged(const QString &state, qint32 seconds);
    void onPollTick();

    WhiteBoardOLE *const q;
    qint16 areaStartX = 0;
    qint16 areaStartY = 0;
    qint16 areaEndX = 0;
    qint16 areaEndY = 0;
    QString fileSource;
    qint16 fileType = 0;
    Ole::UserType userType = Ole::utNone;
    qint16 propertyError = 0;
    QString errorText;
    qint32 currPlayerPos = 0;
    QString previousState;
    QString currentState;
    // What the playback window last reported; the poll timer turns changes of
    // it into events.
    QString playerState;
    qint32 playerPosition = 0;
    qreal zoom = 1.0;

    PictureArea *picture = nullptr;
    QWidget *web = nullptr;
    QPointer<PlayWindow> form;
    PlayWindowFactory newPlayWindow = nullptr;
    QTimer poll;
    std::unique_ptr<QPluginLoader> webPlugin;
    WebViewFactory *webFactory = nullptr;
};

bool WhiteBoardOLEPrivate::fail(const QString &method, const QString &description, int line)
{
    errorText = Ole::InternalErrorText();
    Global::WriteErrorLog(ModuleName, method, description, line);
    return false;
}

bool WhiteBoardOLEPrivate::failIfPropertyError(const QString &method)
{
    if (propertyError == 0)
        return false;
    errorText = Ole::PropertyErrorText(propertyError);
    Global::WriteErrorLog(ModuleName, method, errorText, __LINE__);
    return true;
}

bool WhiteBoardOLEPrivate::showPicture(const QString &method)
{
    QString error;
    if (!picture->loadFile(fileSource, &error))
        return fail(method, error, __LINE__);
    picture->setGeometry(areaStartX, areaStartY, areaEndX, areaEndY);
    if (web)
        web->hide();
    picture->show();
    picture->raise();
    return true;
}

bool WhiteBoardOLEPrivate::loadWebPlugin(QString *error)
{
    if (webFactory)
        return true;
    // The browser engine composites through a context shared with Qt's
    // global one. Qt makes that context at start-up only when asked to
    // (Qt::AA_ShareOpenGLContexts), which loads the OpenGL driver into every
    // run of the client, tens of megabytes, web page or not. Making it here,
    // before the engine's library is loaded, gives the engine what it checks
    // for; the client's widgets paint without OpenGL, so none of them needed
    // to share with it.
    if (!qt_gl_global_share_context()) {
        auto *shared = new QOpenGLContext(QCoreApplication::instance());
        if (!shared->create()) {
            delete shared;
            *error = u"no OpenGL context for the web view"_s;
            return false;
        }
        qt_gl_set_global_share_context(shared);
    }
    const QString fileName = u"whiteboardole_webview"_s;
    QStringList candidates;
    for (const QString &folder : {LibraryFolder(), Global::ApplicationFolder()}) {
        if (!folder.isEmpty())
            candidates << QDir(folder).filePath(fileName);
    }
    candidates << fileName; // the application's library paths
    for (const QString &candidate : std::as_const(candidates)) {
        auto loader = std::make_unique<QPluginLoader>(candidate);
        QObject *instance = loader->instance();
        if (auto *factory = qobject_cast<WebViewFactory *>(instance)) {
            webPlugin = std::move(loader);
            webFactory = factory;
            return true;
        }
        *error = loader->errorString();
    }
    return false;
}

bool WhiteBoardOLEPrivate::showWeb(const QString &method)
{
    const QString allowedFolder = Global::TempFolder();
    const QUrl url = Ole::AllowedWebAddress(fileSource, allowedFolder);
    if (!url.isValid()) {
        // Only web pages and pages unpacked from the courseware are shown;
        // any other address (javascript:, data:, files elsewhere) is refused.
        return fail(method, u"refused address: "_s + fileSource, __LINE__);
    }
    if (!web) {
        QString error;
        if (!loadWebPlugin(&error))
            return fail(method, u"web view plugin not loaded: "_s + error, __LINE__);
        web = webFactory->createView(q, [allowedFolder](const QUrl &target) {
            const bool allowed
                = Ole::IsAllowedWebUrl(target, allowedFolder) || target.scheme() == u"about"_s;
            if (!allowed)
                Global::WriteErrorLog(ModuleName, u"Navigate"_s,
                    u"refused address: "_s + target.toDisplayString(), __LINE__);
            return allowed;
        });
        if (!web)
            return fail(method, u"web view not created"_s, __LINE__);
        web->setProperty("zoomFactor", zoom);
    }
    web->setGeometry(areaStartX, areaStartY, areaEndX, areaEndY);
    picture->hide();
    web->show();
    web->raise();
    webFactory->load(web, url);
    return true;
}

bool WhiteBoardOLEPrivate::loadPlayer(QString *error)
{
    if (!newPlayWindow) {
        newPlayWindow = reinterpret_cast<PlayWindowFactory>(
            ResolveInOwnLibrary(u"Aulix_WhiteBoardOLEPlayer"_s, LUMO_PLAY_WINDOW_FACTORY, error));
    }
    return newPlayWindow != nullptr;
}

PlayWindow *WhiteBoardOLEPrivate::openPlayForm(const QString &method)
{
    QString error;
    if (!loadPlayer(&error)) {
        fail(method, u"player library not loaded: "_s + error, __LINE__);
        return nullptr;
    }
    PlayWindow *playForm = newPlayWindow(q);
    form = playForm;
    const bool teacher = userType == Ole::utTeacher;
    playForm->prepare(teacher, fileSource);
    QWidget *host = q->window();
    const QPoint hostTopLeft = host->geometry().topLeft();
    playForm->move(hostTopLeft + QPoint(areaStartX + 120, areaStartY + 80));
    if (fileType == Ole::OLE_Wave)
        playForm->resize(VideoWindowSize.width(), SoundWindowHeight);
    else
        playForm->resize(VideoWindowSize);
    QObject::connect(playForm, &PlayWindow::playStateChanged, q,
        [this](const QString &state, qint32 seconds) { onPlayStateChanged(state, seconds); });
    // A student hears a sound without seeing a window; everything else shows.
    if (!(userType == Ole::utStudent && fileType == Ole::OLE_Wave))
        playForm->show();
    return playForm;
}

void WhiteBoardOLEPrivate::closePlayForm()
{
    if (form)
        form->shutDown();
    form = nullptr;
}

void WhiteBoardOLEPrivate::onPlayStateChanged(const QString &state, qint32 seconds)
{
    playerState = state;
    if (state == PausedText || state == PlayingText)
        playerPosition = seconds;
}

void WhiteBoardOLEPrivate::onPollTick()
{
    previousState = currentState;
    currentState = playerState;
    const bool changed = previousState != currentState;
    if ((currentState == PlayingText || currentState == PausedText) && changed) {
        currPlayerPos = playerPosition;
        Q_EMIT q->GetPlayState(currentState);
    } else if (currentState == StoppedText) {
        // Also when it did not change: a stop for an item that was already
        // stopped must not leave a window and a running timer behind.
        closePlayForm();
        poll.stop();
        if (changed)
            Q_EMIT q->GetPlayState(currentState);
    }
}

WhiteBoardOLE::WhiteBoardOLE(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<WhiteBoardOLEPrivate>(this))
{
    d->picture = new PictureArea(this);
    d->picture->hide();
    d->picture->setAccessibleName(tr("课件图片"));
    setAccessibleName(tr("课件"));
    setAccessibleDescription(placeholderText());
    d->poll.setInterval(250);
    connect(&d->poll, &QTimer::timeout, this, [this] { d->onPollTick(); });
}

QString WhiteBoardOLE::placeholderText() const
{
    return tr("老师播放的课件（图片、网页、声音和视频）会显示在这里");
}

void WhiteBoardOLE::paintEvent(QPaintEvent *)
{
    // Under a shown picture or page nothing of this shows; an empty area
    // says what will appear in it.
    if ((d->picture && d->picture->isVisible()) || (d->web && d->web->isVisible()))
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
    painter.drawText(
        rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, placeholderText());
}

WhiteBoardOLE::~WhiteBoardOLE()
{
    d->poll.stop();
    if (d->form)
        delete d->form.data();
}

qint32 WhiteBoardOLE::CurrPlayerPos() const
{
    return d->currPlayerPos;
}

void WhiteBoardOLE::setCurrPlayerPos(qint32 seconds)
{
    d->currPlayerPos = seconds;
}

namespace {

QString NumberText(qint16 value)
{
    return QString::number(value).trimmed();
}

void SetNumber(
    const QString &text, qint16 &member, qint16 &propertyError, Ole::PropertyErrorNumber number)
{
    if (const auto parsed = Ole::ParseShortNumber(text))
        member = *parsed;
    else
        propertyError = number;
}

} // namespace

QString WhiteBoardOLE::AreaStartPosX() const
{
    return NumberText(d->areaStartX);
}

void WhiteBoardOLE::setAreaStartPosX(const QString &value)
{
    SetNumber(value, d->areaStartX, d->propertyError, Ole::peAreaStartPosX);
}

QString WhiteBoardOLE::AreaStartPosY() const
{
    return NumberText(d->areaStartY);
}

void WhiteBoardOLE::setAreaStartPosY(const QString &value)
{
    SetNumber(value, d->areaStartY, d->propertyError, Ole::peAreaStartPosY);
}

QString WhiteBoardOLE::AreaEndPosX() const
{
    return NumberText(d->areaEndX);
}

void WhiteBoardOLE::setAreaEndPosX(const QString &value)
{
    SetNumber(value, d->areaEndX, d->propertyError, Ole::peAreaEndPosX);
}

QString WhiteBoardOLE::AreaEndPosY() const
{
    return NumberText(d->areaEndY);
}

void WhiteBoardOLE::setAreaEndPosY(const QString &value)
{
    SetNumber(value, d->areaEndY, d->propertyError, Ole::peAreaEndPosY);
}

QString WhiteBoardOLE::FileSource() const
{
    return d->fileSource.trimmed();
}

void WhiteBoardOLE::setFileSource(const QString &value)
{
    const QString trimmed = value.trimmed();
    if (trimmed.isEmpty())
        d->propertyError = Ole::peFileSource;
    else
        d->fileSource = trimmed;
}

QString WhiteBoardOLE::FileType() const
{
    return NumberText(d->fileType);
}

void WhiteBoardOLE::setFileType(const QString &value)
{
    SetNumber(value, d->fileType, d->propertyError, Ole::peFileType);
}

Ole::UserType WhiteBoardOLE::UserType() const
{
    return d->userType;
}

void WhiteBoardOLE::setUserType(Ole::UserType value)
{
    d->userType = value;
}

bool WhiteBoardOLE::Play_OLE()
{
    const QString method = u"Play_OLE"_s;
    if (d->failIfPropertyError(method))
        return false;
    d->closePlayForm();
    switch (d->fileType) {
    case Ole::OLE_Office: return d->showPicture(method);
    case Ole::OLE_html: return d->showWeb(method);
    case Ole::OLE_Wave:
    case Ole::OLE_Movie: {
        const QUrl url = MediaUrl(d->fileSource);
        if (url.isEmpty())
            return d->fail(method, u"no such media file: "_s + d->fileSource, __LINE__);
        PlayWindow *playForm = d->openPlayForm(method);
        if (!playForm)
            return false;
        playForm->setSource(url);
        playForm->playFrom(0);
        return true;
    }
    default:
        return d->fail(method, u"unknown file type "_s + QString::number(d->fileType), __LINE__);
    }
}

bool WhiteBoardOLE::Play_OLEAd(qint32 PlayVerb)
{
    const QString method = u"Play_OLEAd"_s;
    if (d->failIfPropertyError(method))
        return false;
    d->closePlayForm();
    switch (d->fileType) {
    case Ole::OLE_Office: return d->showPicture(method);
    case Ole::OLE_html: return d->showWeb(method);
    case Ole::OLE_Wave:
    case Ole::OLE_Movie: break;
    default:
        return d->fail(method, u"unknown file type "_s + QString::number(d->fileType), __LINE__);
    }
    const QUrl url = MediaUrl(d->fileSource);
    if (url.isEmpty())
        return d->fail(method, u"no such media file: "_s + d->fileSource, __LINE__);
    PlayWindow *playForm = d->openPlayForm(method);
    if (!playForm)
        return false;
    d->poll.start();
    playForm->setSource(url);
    switch (PlayVerb) {
    case 0: playForm->playFrom(d->currPlayerPos); break;
    case 1: playForm->stop(); break;
    case 2:
        playForm->pause();
        d->closePlayForm();
        break;
    default: break;
    }
    return true;
}

bool WhiteBoardOLE::Clear_OLE()
{
    if (d->failIfPropertyError(u"Clear_OLE"_s))
        return false;
    if (d->web)
        d->web->hide();
    d->picture->hide();
    return true;
}

qint16 WhiteBoardOLE::PropertyError() const
{
    return d->propertyError;
}

QString WhiteBoardOLE::ErrorText() const
{
    return d->errorText;
}

QString WhiteBoardOLE::PlayState() const
{
    return d->currentState;
}

void WhiteBoardOLE::setPollInterval(int milliseconds)
{
    d->poll.setInterval(milliseconds);
}

void WhiteBoardOLE::prepareForWeb()
{
    // The web view draws through OpenGL into its window. A window made
    // without OpenGL is destroyed and made again when the first page shows
    // (it goes black and the window manager places it anew). OpenGL costs
    // its driver at once (tens of megabytes, a good part of the start-up
    // time with a software renderer), so the window is not made ready at
    // start but here, before a class can play anything: a one-pixel OpenGL
    // widget under everything makes the switch while nothing plays, the
    // window keeping its place. The windowless platforms (tests, pictures)
    // show no web page and do not compose through OpenGL.
    const QString platform = QGuiApplication::platformName();
    if (findChild<QWidget *>(u"webReady"_s, Qt::FindDirectChildrenOnly)
        || platform == u"offscreen"_s || platform == u"minimal"_s)
        return;
    static WebReadyFactory newWebReady = nullptr;
    QString error;
    if (!newWebReady) {
        newWebReady = reinterpret_cast<WebReadyFactory>(
            ResolveInOwnLibrary(u"Aulix_WhiteBoardOLEWebReady"_s, LUMO_WEB_READY_FACTORY, &error));
    }
    if (!newWebReady) {
        // The first web page then makes the window over again; it still shows.
        Global::WriteErrorLog(
            ModuleName, u"prepareForWeb"_s, u"OpenGL library not loaded: "_s + error, __LINE__);
        return;
    }
    QWidget *top = window();
    const QPoint placed = top->pos();
    QWidget *ready = newWebReady(this);
    ready->setObjectName(u"webReady"_s);
    ready->setAttribute(Qt::WA_TransparentForMouseEvents);
    ready->setGeometry(0, 0, 1, 1);
    ready->lower();
    ready->show();
    if (top->isVisible() && top->pos() != placed)
        top->move(placed);
}

void WhiteBoardOLE::setZoom(qreal zoom)
{
    if (!(zoom > 0) || qFuzzyCompare(zoom, d->zoom))
        return;
    d->zoom = zoom;
    // The engine's own bounds (0.25-5) hold the factor.
    if (d->web)
        d->web->setProperty("zoomFactor", zoom);
}

PictureArea *WhiteBoardOLE::pictureArea() const
{
    return d->picture;
}

QWidget *WhiteBoardOLE::webView() const
{
    return d->web;
}

PlayWindow::~PlayWindow() = default;

PlayWindow *WhiteBoardOLE::playForm() const
{
    return d->form;
}

void WhiteBoardOLE::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    d->picture->setGeometry(rect());
    if (d->web)
        d->web->setGeometry(rect());
}
