#include "client/shell/form1.h"

#include "client/classroom/frmvizerazav.h"
#include "client/session/sessionstate.h"
#include "client/shell/form1menus.h"
#include "client/shell/frmabout.h"
#include "client/shell/frminput.h"
#include "client/shell/frmnotes.h"
#include "client/shell/frmoptions.h"
#include "client/shell/frmstatus.h"
#include "client/shell/shellpictures.h"
#include "client/shell/soundpage.h"
#include "client/shell/statuspanels.h"
#include "common/apppaths.h"
#include "common/desktop/shellopen.h"
#include "common/errorlog.h"
#include "common/prompter.h"
#include "common/settingsstore.h"
#include "controls/coursemanage/manage.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/toolbar/toolbar.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/sounddevices.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "controls/whiteboardsign/whiteboardsign.h"
#include "protocol/clsremotesync.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {
constexpr auto kProductTitle = "LumoStudent";
}

Form1::Form1(Global::Prompter &prompter, QWidget *parent)
    : QMainWindow(parent)
    , m_prompter(prompter)
    , m_remoteSync(std::make_unique<clsRemoteSync>())
    , m_companionProgram(
          Global::WithTrailingSeparator(Global::ApplicationFolder()) + QStringLiteral("castagent"))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(tr("%1 %2").arg(QLatin1String(kProductTitle), QStringLiteral(LUMO_VERSION)));
    // Created first, so the units are destroyed before the controls they
    // drive (children go in creation order; ~Form1 deletes it explicitly).
    m_unitOwner = new QObject(this);
    m_unitOwner->setObjectName(QStringLiteral("units"));
    m_session = new SessionState(this);

    m_ui = BuildForm1Ui(this);
    m_menus = std::make_unique<Form1Menus>(BuildForm1Menus(this, m_ui.picLogo));
    m_ui.CourseManage->setPrompter(&m_prompter);
    m_ui.NotesManage1->setPrompter(&m_prompter);

    connect(m_menus->mnuConnect, &QAction::triggered, this, &Form1::connectRequested);
    connect(m_menus->tbConnect, &QAction::triggered, this, &Form1::connectRequested);
    connect(m_menus->mnuDisConnect, &QAction::triggered, this, &Form1::disconnectRequested);
    connect(m_menus->tbDisConnect, &QAction::triggered, this, &Form1::disconnectRequested);
    connect(m_menus->tbRefresh, &QAction::triggered, this, &Form1::refreshRequested);
    connect(m_menus->mnuExportMsg, &QAction::triggered, this, &Form1::exportRequested);
    connect(m_menus->mnuHelp, &QAction::triggered, this, &Form1::helpRequested);
    connect(m_menus->mnuOptions, &QAction::triggered, this, &Form1::showOptions);
    connect(m_menus->mnuAboutWS, &QAction::triggered, this, &Form1::showAbout);
    connect(m_menus->mnuExit, &QAction::triggered, this, &Form1::close);
    // The logo and the link label lead to the web site.
    m_ui.picLogo->installEventFilter(this);
    m_ui.lblWebLink->installEventFilter(this);
    // The controls follow the client area, which also changes without the
    // window doing so (the status bar or the toolbar taking other heights).
    m_ui.central->installEventFilter(this);

    // Opens with a client area of 792 x 554 below the menu bar; the student
    // may resize and maximise it down to what keeps every control in view.
    const int menu = menuBar()->sizeHint().height();
    resize(Form1InnerWidth, Form1InnerHeight + menu);
    const QSize least = Form1MinimumClientSize(m_ui);
    setMinimumSize(least.width(), least.height() + menu);
    // Placed now, not first at showing: the wiring lays its own widgets out
    // against these rectangles before the window is shown.
    layout()->activate();
    PlaceForm1Controls(m_ui, width());
}

Form1::~Form1()
{
    Unload();
    delete m_unitOwner;
    m_unitOwner = nullptr;
    delete m_voiceWindow.data();
}

void Form1::startCompanion()
{
    // Starting a program forks this process, whose mappings (the client's
    // libraries and fonts) make that milliseconds on the way to the window:
    // a program file is started from a thread of its own. Anything else (a
    // missing file, a document for the desktop) takes the usual way at once,
    // the desktop's services belonging to this thread.
    const QFileInfo companion(m_companionProgram);
    if (!companion.isFile() || !companion.isExecutable()) {
        Global::ShellOpenFile(m_companionProgram, 1, m_prompter);
        return;
    }
    QPointer<Form1> self(this);
    QThread *starter = QThread::create([program = m_companionProgram, self] {
        Global::ScriptedPrompter failures;
        Global::ShellOpenFile(program, 1, failures);
        if (failures.shown.isEmpty())
            return;
        // Said by this window, on its own thread, if it is still there.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, prompts = failures.shown] {
            if (self) {
                for (const Global::Prompt &prompt : prompts)
                    self->m_prompter.show(prompt);
            }
        });
    });
    connect(starter, &QThread::finished, starter, &QObject::deleteLater);
    starter->start();
}

void Form1::Load()
{
    // 1. The companion downloader runs beside the client; a failure to
    //    start it is reported once and start-up goes on.
    startCompanion();
    // 2.-6. Program state, hosted controls, status bar, roster view.
    ResetProgramState();
    PrepareControls();
    // 7. A screen smaller than the opening size (a laptop, a scale factor
    //    of 2) gets a window that fits on it.
    FitToScreen();
    show();
    // 8. Settings held for the run, unless the command line already set
    //    them for this run.
    if (!m_session->bSettingsLoaded) {
        m_session->Options = Global::LoadServerSettings(Global::StudentAppName);
        m_session->WebHost = Global::LoadWebHost(Global::StudentAppName);
        m_session->bSettingsLoaded = true;
    }
    // A kept choice of sound devices takes hold once the window is up, off
    // the path to it.
    if (SoundPage::HasSaved())
        QTimer::singleShot(0, this, [this] { soundDevices(); });
    // 9. The courseware folder; errors from here on are ignored.
    const QString courseFolder = Global::CourseFolder();
    // Written only when it changed: a write rewrites the whole settings
    // file, on the way to the window at every start.
    if (Global::GetSetting(
            Global::StudentAppName, QStringLiteral("Http"), QStringLiteral("SavePath"))
        != courseFolder)
        Global::SaveCoursePath(courseFolder, Global::StudentAppName);
    QDir().mkpath(courseFolder);
    // 10. First run.
    if (Global::ReadFirstRun().trimmed() == QLatin1String("True")) {
        Global::WriteFirstRun(QStringLiteral("False"));
        showOptions();
    }
    // 11. Pictures.
    m_ui.cmdRaiseHand->setIcon(ShellPictures::ImageListHand(1));
    m_ui.cmdSendMail->setIcon(ShellPictures::ImageListHand(3));
    m_ui.picLogo->setPixmap(ShellPictures::Logo());
    Q_EMIT loaded();
}

void Form1::FitToScreen()
{
    const QScreen *shownOn = screen();
    if (!shownOn)
        return;
    const QRect available = shownOn->availableGeometry();
    // The frame the window manager adds is not known before the first
    // showing; the usual title bar and borders are kept free.
    const QSize frameExtra(16, 40);
    const QSize room = available.size() - frameExtra;
    const QSize fitted = size().boundedTo(room).expandedTo(minimumSize());
    if (fitted != size())
        resize(fitted);
    if (!available.contains(QRect(pos(), fitted + frameExtra)))
        move(available.topLeft()
            + QPoint(std::max(0, (available.width() - fitted.width() - frameExtra.width()) / 2),
                std::max(0, (available.height() - fitted.height() - frameExtra.height()) / 2)));
}

void Form1::ResetProgramState()
{
    m_session->bWhiteBoardPermitted = true;
    m_session->bInClass = false;
    m_session->bCampusPhase = true;
    m_windowState = 0;
    m_closing = false;
    m_ui.cmdSendNotes->setEnabled(true);
    m_ui.Frame3->setEnabled(true);
}

void Form1::PrepareControls()
{
    m_ui.VolumeControl1->SetCmdEnabled(true);
    m_ui.cmdSendMail->setProperty("mailAddress", QLatin1String(DefaultMailAddress));
    m_ui.WhiteBoardSign1->ClearSign();
    m_ui.WhiteBoardSign1->setColor(0);
    m_ui.VolumeControl1->StartUserHook(this);
    // The course manager's temporary folder lies under the writable data
    // folder, not beside the program.
    m_ui.CourseManage->setgAppPath(Global::DataFolder());
    m_ui.WhiteBoardToolBar->setViewMode(1);
    m_ui.StatusBar->setPanel(1, tr("断开"), 2);
    m_ui.StatusBar->setPanel(2, tr("空闲"), 2);
    m_ui.ListViewUserList->setUserType(1);
    m_ui.ListViewUserList->setViewType(lvtList);
}

void Form1::Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Q_EMIT unloading();
    m_ui.VolumeControl1->StopUserHook();
    m_closing = true;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible())
            window->close();
    }
    if (m_session->bSettingsLoaded) {
        Global::SaveServerSettings(Global::StudentAppName, m_session->Options);
        Global::SaveWebHost(Global::StudentAppName, m_session->WebHost);
    }
}

Classroom::frmVizeRazav *Form1::voiceWindow()
{
    if (!m_voiceWindow) {
        m_voiceWindow = new Classroom::frmVizeRazav();
        m_voiceWindow->setPrompter(&m_prompter);
        m_voiceWindow->setSoundBar(m_ui.SoundBar);
    }
    return m_voiceWindow;
}

FrmInput *Form1::frmInput()
{
    if (!m_frmInput)
        m_frmInput = new FrmInput(this);
    return m_frmInput;
}

FrmNotes *Form1::frmNotes()
{
    if (!m_frmNotes)
        m_frmNotes = new FrmNotes([this] { return m_closing; }, this);
    return m_frmNotes;
}

FrmStatus *Form1::frmStatus()
{
    if (!m_frmStatus)
        m_frmStatus = new FrmStatus(this);
    return m_frmStatus;
}

void Form1::showOptions()
{
    if (!m_frmOptions) {
        m_frmOptions = new frmOptions(m_session->Options, m_session->WebHost, m_prompter, this);
        m_frmOptions->setWindowModality(Qt::ApplicationModal);
        auto *soundPage = new SoundPage(soundDevices());
        m_frmOptions->addPage(tr("声音"), soundPage);
        connect(m_frmOptions, &frmOptions::closedWith, soundPage, &SoundPage::finish);
        connect(m_frmOptions, &frmOptions::closedWith, this, &Form1::optionsClosed);
    }
    m_frmOptions->Reload();
    m_frmOptions->open();
}

SoundDevices &Form1::soundDevices()
{
    if (!m_soundDevices) {
        m_soundDevices = new SoundDevices(this);
        SoundPage::ApplySaved(*m_soundDevices);
        connect(m_soundDevices, &SoundDevices::deviceLost, this, [this](const QString &device) {
            m_ui.NotesManage1->AddMessage(
                u"["_s + tr("声音设备“%1”已不在，改用默认设备").arg(device) + u"]\r\n"_s);
        });
    }
    return *m_soundDevices;
}

void Form1::showAbout()
{
    if (!m_frmAbout)
        m_frmAbout = new frmAbout(this);
    m_frmAbout->setDeviceDelaySource([this](qint32 *captureMs, qint32 *playbackMs) {
        return m_voiceWindow && m_voiceWindow->DeviceDelay(captureMs, playbackMs);
    });
    m_frmAbout->show();
    m_frmAbout->raise();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui.central && event->type() == QEvent::Resize) {
        PlaceForm1Controls(m_ui, width());
        return false;
    }
    if (event->type() == QEvent::MouseButtonRelease
        && (watched == m_ui.picLogo || watched == m_ui.lblWebLink)) {
        Q_EMIT webLinkRequested();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent *event)
{
    Unload();
    QMainWindow::closeEvent(event);
}

void Form1::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange) {
        if (isMinimized()) {
            m_windowState = 1;
        } else {
            const bool restored = m_windowState == 1;
            m_windowState = 0;
            if (restored)
                Q_EMIT restoredFromMinimized();
        }
    }
    QMainWindow::changeEvent(event);
}
