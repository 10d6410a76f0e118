#pragma once

// A classroom server with a scripted teacher and a course file of two
// pictures (red at node 2, blue at node 3), for the live-class tests. The
// pictures are JPEG: the course tree plays a jpg as a picture item, a png as
// a web page, which needs the browser engine (and OpenGL, which the
// offscreen platform lacks); these tests are about the class, not the
// browser.
#include "common/testsupport/testhome.h"
#include "controls/coursemanage/courseware/coursewarewriter.h"
#include "sim/core/classroomserver.h"
#include "sim/core/teacherdesk.h"

#include <QColor>
#include <QImage>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace LiveTest {

inline const char *const ClassConfig = R"({
  "users": [
    {"code": "ann", "id": 11, "password": "pw-ann", "nick": "ann"},
    {"code": "bob", "id": 12, "password": "pw-bob", "nick": "bob"},
    {"code": "tea", "id": 90, "nick": "王老师", "type": 2, "scripted": true}
  ],
  "categories": [{"id": 7, "name": "English", "text": "spoken English"}],
  "classrooms": [{"name": "a", "teacher": 90, "floor": "teacher"}],
  "courses": [{"id": 12, "category": 7, "file": "one.lsn", "teacher": "王老师", "booked": ["ann", "bob"]}]
})";

class ClassFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(ParseSimConfig(ClassConfig, dir.path(), config, error)) << error.toStdString();
        const SimLog log = [this](const QJsonObject &entry) { logged.append(entry); };
        server = std::make_unique<ClassroomServer>(config, config.classrooms.first(), log);
        ASSERT_TRUE(server->listen());
        desk = std::make_unique<TeacherDesk>(server.get());
        coursePath = writeCourse(dir.path());
    }

    static QString writeCourse(const QString &folder)
    {
        const QString red = folder + QStringLiteral("/red.jpg");
        const QString blue = folder + QStringLiteral("/blue.jpg");
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(QColor(255, 0, 0));
        EXPECT_TRUE(image.save(red));
        image.fill(QColor(0, 0, 255));
        EXPECT_TRUE(image.save(blue));
        Courseware::CourseDocument document;
        document.teacherName = QStringLiteral("王老师");
        document.root = {QStringLiteral("_0"), QStringLiteral("口语"), QStringLiteral("folder"),
            QStringLiteral("口语"),
            {
                {QStringLiteral("_0_1"), QStringLiteral("red.jpg"), QStringLiteral("jpg"), red, {}},
                {QStringLiteral("_0_2"), QStringLiteral("blue.jpg"), QStringLiteral("jpg"), blue,
                    {}},
            }};
        const QString path = folder + QStringLiteral("/one.lsn");
        EXPECT_TRUE(Courseware::WriteCoursewareFile(path, document).ok);
        return path;
    }

    void teacher(const QString &line)
    {
        QString error;
        ASSERT_TRUE(desk->run(line, error)) << error.toStdString();
    }

    // Entries the server logged of one kind.
    QList<QJsonObject> logOf(const QString &what) const
    {
        QList<QJsonObject> out;
        for (const QJsonObject &entry : logged)
            if (entry.value(QStringLiteral("sim")).toString() == what)
                out.append(entry);
        return out;
    }

    TestHome home;
    QTemporaryDir dir;
    SimConfig config;
    QList<QJsonObject> logged;
    std::unique_ptr<ClassroomServer> server;
    std::unique_ptr<TeacherDesk> desk;
    QString coursePath;
};

} // namespace LiveTest
