#pragma once

#include <QString>
#include <QStringList>

// The command line of a scripted run (tests, the demo, a teacher preparing
// a lesson).
struct StartOptions {
    QString campusHost; // --campus HOST:PORT
    QString campusPort;
    QString webHost; // --web HOST:PORT, kept as typed
    QString user; // --user CODE
    QString password; // --password WORD
    QString enterCourse; // --enter COURSE (the course number)
    QString dataDir; // --data DIR
    QString screenshotDir; // --screenshots DIR
    QString localAddress; // --local-address IP
    bool commands = false; // --commands: commands from standard input
    bool autoAnswer = false; // --auto: message boxes answered by their default
    // --login-dialog: the login dialog opens at start, filled with --user
    // and --password, and waits for the student's OK.
    bool loginDialogOnly = false;
    bool showHelp = false;
    QString error; // set when the command line cannot be used

    // Log in at start without asking.
    bool loginAtStart() const { return !loginDialogOnly && !user.isEmpty() && !password.isEmpty(); }
    // Open the login dialog at start (filled with user and password).
    bool openLoginAtStart() const { return loginDialogOnly; }
};

StartOptions ParseStartOptions(const QStringList &arguments);
QString StartOptionsHelp();

// Splits "host:port" (the last ":"); false unless both parts are there and
// the port is a number from 1 to 65535.
bool SplitHostPort(const QString &text, QString &host, QString &port);

// Points the settings store, the first-run value, the error log and the
// courseware folder into `dir` (created when missing), for this process and
// the programs it starts.
bool UseDataFolder(const QString &dir);
