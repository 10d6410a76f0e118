#pragma once

#include "protocol/listtexts.h"

#include <QList>
#include <QString>

// The "List" entries of the settings store: one per course whose courseware
// the client knows of, keyed by the courseware URL, with a value of
// "name=value;" pairs ("CourseName", "ClassBegin", "over", "CourseDesc").
// The client writes them while booking and entering; the companion program
// reads them, fetches what is missing and sets "over=1". Both go through
// this one class, so they agree on keys (escaped by EscapeSettingsKey) and
// values.
class CourseCatalogue
{
public:
    struct Entry {
        QString url; // the key: the courseware URL
        QString value;
    };

    explicit CourseCatalogue(QString appName);

    const QString &appName() const { return m_appName; }

    // "http://" + the category's web host + "/CampusDir/campus<N>/" + file
    // name; empty when the category has no web host.
    static QString CoursewareUrl(
        const ListTexts::CategoryRecord &category, const QString &fileName);

    // The courseware folder: "Http"/"SavePath" when set, else the program's
    // course folder; always with a trailing separator.
    QString coursewareFolder() const;

    // 0: no file name; 2: the file lies in the courseware folder; 1: the
    // URL is listed; else 0.
    int CourseState(const QString &url, const QString &fileName) const;

    // The entry a reload of the booking list writes: "ClassBegin" back to 0,
    // "over" from the file's presence.
    void WriteReloadEntry(const QString &url, const ListTexts::CourseRecord &course, bool present);
    // The short entry of a refused class entry: "CourseName=Course<N>;ClassBegin=True;".
    void WriteEnterEntry(const QString &url, qint32 courseId);
    // Sets the "ClassBegin" pair to 1; false (nothing written) when the
    // entry has no such pair.
    bool MarkBegun(const QString &url);
    // Sets "over=1", adding the pair when the entry has none.
    void MarkDownloaded(const QString &url);

    QString value(const QString &url) const;
    QList<Entry> entries() const;

    // The value of one pair of an entry ("" when absent).
    static QString pairValue(const QString &entry, const QString &name);
    // The entry with the pair `name` set to `value`: the old pair, whatever
    // the length of its value, is replaced in place; a missing pair is
    // appended.
    static QString withPair(const QString &entry, const QString &name, const QString &value);

private:
    QString m_appName;
};

// The names the client gives to records (the records carry none). The
// protocol library's record methods are not exported from it, so these are
// spelled here for the campus units.
QString CourseNameOf(const ListTexts::CourseRecord &course); // "Course" + number
QString CategoryFolderOf(const ListTexts::CategoryRecord &category); // "campus" + number
QString CategoryBoxText(const ListTexts::CategoryRecord &category); // "[" + number + "]" + name

// A courseware file name is a single plain name: not empty, not "." or
// "..", no "/" or "\\", no NUL or other control character, neither as
// written nor once percent escapes are decoded ("..%2f" is refused). Names
// from the server that fail this are never used as paths or fetched.
bool IsPlainFileName(const QString &name);
