#pragma once

#include "common/settingsstore.h"
#include "protocol/listtexts.h"

#include "client/campus/coursecatalogue.h"
#include "client/campus/coursewaredownloader.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class AccountPages;
class clsRemoteSync;
class FrmSubscribe;
class FrmTip;
class frmLogin;
class SessionState;

namespace Global {
class Prompter;
}

// The road from "not connected" to a classroom connection: the login
// dialog, the two account pages, the campus login, the course and category
// lists, the booking dialog, the decision whether the chosen class may be
// entered (fetching its courseware there and then when it is missing), the
// switch to the classroom server, socket errors and Disconnect. Every wait
// is a state with its end conditions (an event, a timer, the connection's
// end); nothing here runs a nested event loop. The road sends every campus
// message itself: its dialogs only say what the student chose.
//
// Once the classroom connection is up the class belongs to the session: a
// lost classroom connection is reported (classroomLost) and the session
// decides. Return() runs the whole road again to the current course with
// no dialog and no message box, for the session's way back into a class.
class CampusRoad : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Idle, // not connected
        LoggingIn, // login dialog open
        LookingUpUser, // user number page
        LookingUpAddress, // campus address page
        ConnectingCampus,
        CampusLogin, // login sent, waiting for the answer
        AwaitingCourses, // course lists asked for
        AwaitingCategories, // category list asked for
        Pausing, // the pause before the booking dialog
        Booking, // booking dialog open
        FetchingCourseware, // booking dialog open, the chosen course's file on its way
        ReconnectPause, // a pause before reconnecting after a socket error
        ConnectingClassroom,
        InClassroom, // classroom login sent; class entry takes over
    };
    Q_ENUM(State)

    struct Dependencies {
        clsRemoteSync &remote;
        SessionState &session;
        Global::Prompter &prompter;
        CourseCatalogue catalogue; // holds only the application name
        frmLogin &login;
        FrmTip &tip;
        FrmSubscribe &subscribe;
        // The "Options" values as they are now (the options dialog changes them).
        std::function<Global::ServerSettings()> serverSettings;
        // "host" or "host:port" of the account pages.
        std::function<QString()> webHost;
        // Opens the options dialog; `closed` runs when it closes.
        std::function<void(std::function<void()> closed)> showOptions;
    };

    struct Timing {
        int bookingPauseMs = 3000; // before the booking dialog shows
        int listLimitMs = 15000; // for the login answer and each campus list reply
        int connectLimitMs = 15000; // for a connection to be made
        int pageLimitMs = 10000; // for each account page
        int reconnectPauseMs = 1000; // doubled at each further try
        int reconnectTries = 3; // in a row, then Disconnect
    };

    explicit CampusRoad(Dependencies deps, QObject *parent = nullptr);
    ~CampusRoad() override;

    void setTiming(const Timing &timing);
    State state() const { return m_state; }
    static QString stateName(State state);

    // Enters this booked course as soon as the booking dialog shows (scripted
    // runs); 0 for none.
    void setAutoEnter(qint32 courseId) { m_autoEnter = courseId; }

public Q_SLOTS:
    // Menu Connect: opens the login dialog (only when not connected).
    void Connect();
    // Connect with the dialog filled and confirmed (scripted runs).
    void ConnectAs(const QString &code, const QString &password);
    // Menu Disconnect, and the end of every failure.
    void Disconnect();
    // The road to the current course again, silently: lookups, campus
    // login, lists, the course chosen again, the classroom connection.
    // Failures end in Idle without a message.
    void Return();
    // Whether the campus server last reached accepts a connection again:
    // opened and closed at once, nothing sent; `answer` is called once,
    // within a second.
    void probeCampus(std::function<void(bool reachable)> answer);

Q_SIGNALS:
    void stateChanged(CampusRoad::State state);
    // Menu Connect started: other parts clear what they show of a class.
    void connectStarted();
    // Text for the connection panel of the status bar ("连接校园", "断开" ...).
    void connectionStatus(const QString &text);
    // The classroom connection is being made for the current course.
    void enteringClassroom(const ListTexts::CourseRecord &course);
    // The classroom connection is up and the classroom login was sent.
    void classroomConnected();
    // The road is back at not connected: Disconnect ran, or the login
    // dialog was cancelled.
    void disconnected();
    // The classroom connection dropped (closed or failed) after the
    // classroom login; the road leaves it to the session.
    void classroomLost();

private:
    void setState(State state);
    void lookUp();
    void onUserId(bool ok, const QString &userId, const QString &error);
    void onBalance(const QString &address, bool fromFallback, const QString &error);
    void onConnected();
    void onCampusLogIn(bool result);
    void onCourseList(qint32 count, const QString &text, qint32 verb);
    void onCategoryList(qint32 count, const QString &text);
    void showBooking();
    void onBookingClosed();
    void onEnterPressed(qint32 courseId);
    void confirmEnter(qint32 courseId);
    void onFetchFinished(CoursewareDownloader::Outcome outcome, const QString &error);
    void onTipCancelled();
    void chooseAgain();
    void enterChosenCourse();
    // The current course's courseware URL ("" when its category has no
    // web host).
    QString chosenUrl() const;
    void onSocketError(qint16 number, const QString &description);
    void onListTimeout();
    void fail(const QString &title, const QString &text);
    void inform(const QString &title, const QString &text);
    void status(const QString &text);
    // Back to Idle without touching the socket (a refused connection).
    // Ends every timed wait and the web lookups, and hides the progress window.
    void stopWaits();
    void settleUnconnected();

    Dependencies m_deps;
    Timing m_timing;
    AccountPages *m_pages;
    QTimer m_listTimer;
    QTimer m_pauseTimer;
    QTimer m_reconnectTimer;
    State m_state = State::Idle;
    bool m_disconnecting = false;
    bool m_socketErrorBusy = false;
    bool m_allCoursesExist = false;
    bool m_reconnecting = false;
    bool m_silent = false; // a return: no dialog, no message box
    int m_reconnectTries = 0;
    qint32 m_autoEnter = 0;
    // The chosen course's courseware, fetched while the booking dialog
    // stays open.
    CoursewareDownloader m_fetch;
    qint32 m_fetchCourse = 0;
    QString m_fetchUrl;
    // File names of booked courses refused where the list was read.
    QHash<qint32, QString> m_refusedNames;
    // Where the campus server was last reached.
    QString m_campusAddress;
    QString m_campusPort;
};
