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
    bool autoAnswer = false; // --auto: message boxes answered by their default
    bool showHelp = false;
    QString error; // set when the command line cannot be used

    bool loginAtStart() const { return !user.isEmpty() && !password.isEmpty(); }
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
