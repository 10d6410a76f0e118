#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What the local reference servers serve: people, categories, courses and
// classrooms, read from one JSON file.

struct SimUser {
    QString code; // the student code typed at login
    qint32 id = 0;
    QString password;
    QString nick;
    quint8 type = 1; // 1 student, 2 teacher
    // Played by the simulator itself: present in the class roster without a
    // connection, acting through the script and the console.
    bool scripted = false;
};

struct SimCategory {
    qint32 id = 0;
    QString name;
    QString text;
    // Host put into the category record; empty means the simulator's own
    // web address.
    QString webHost;
    QString firstWord;
    QString secondWord;
};

struct SimCourse {
    qint32 id = 0;
    qint32 category = 0;
    QString file;
    QString teacher;
    QString classTime;
    QString description;
    QString classroom; // name of the classroom that holds the class
    QStringList booked; // codes of the students who booked it at start
};

struct SimClassroom {
    QString name;
    qint32 teacher = 0; // user number of the scripted teacher, 0 for none
    QList<qint32> members; // scripted classmates present from the start
    QString script; // teacher script file, empty for none
    // "auto": a request gets the microphone when the floor is free;
    // "teacher": only the teacher grants it.
    QString floor = QStringLiteral("teacher");
    quint8 initialStatus = 15; // present, may speak, may send notes
    // Every n-th forwarded voice packet waits for the next one and both go
    // out in one datagram; 0 never bundles.
    int bundleEvery = 0;
};

struct SimConfig {
    QString baseFolder; // folder of the configuration file; relative paths start here
    QString courseFolder; // holds campus<N>/<file> for the web server
    QString pagesFolder; // web pages served under /demo/
    QString campusAddress = QStringLiteral("127.0.0.1");
    QList<SimUser> users;
    QList<SimCategory> categories;
    QList<SimCourse> courses;
    QList<SimClassroom> classrooms;

    const SimUser *userById(qint32 id) const;
    const SimUser *userByCode(const QString &code) const;
    const SimClassroom *classroom(const QString &name) const;
    // `path` made absolute against the configuration's folder.
    QString resolve(const QString &path) const;
};

// Reads and checks a configuration. On failure returns false and says why
// in `error`; a half-read configuration is never returned.
bool ParseSimConfig(
    const QByteArray &json, const QString &baseFolder, SimConfig &config, QString &error);
bool LoadSimConfig(const QString &path, SimConfig &config, QString &error);
