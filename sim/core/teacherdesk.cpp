#include "sim/core/teacherdesk.h"

#include "protocol/messages.h"
#include "sim/core/classroomserver.h"

using namespace Qt::StringLiterals;

TeacherDesk::TeacherDesk(ClassroomServer *classroom)
    : m_classroom(classroom)
{ }

QString TeacherDesk::expand(const QString &line) const
{
    QString expanded = line;
    return expanded.replace(u"{web}"_s, m_webAddress);
}

bool TeacherDesk::run(const QString &line, QString &error)
{
    TeacherCommand command;
    return ParseTeacherCommand(expand(line), command, error) && execute(command, error);
}

bool TeacherDesk::execute(const TeacherCommand &command, QString &error)
{
    const qint32 actor = command.actor != 0 ? command.actor : m_classroom->teacherId();
    switch (command.kind) {
    case TeacherCommand::Kind::Grant:
        if (!m_classroom->grantFloor(command.target)) {
            error = u"%1 is no student in this classroom"_s.arg(command.target);
            return false;
        }
        return true;
    case TeacherCommand::Kind::TakeBack: m_classroom->takeBackFloor(); return true;
    case TeacherCommand::Kind::Permit: {
        const auto member = m_classroom->member(command.target);
        if (!member) {
            error = u"%1 is not in this classroom"_s.arg(command.target);
            return false;
        }
        const quint8 status = command.on ? quint8(member->status | command.bit)
                                         : quint8(member->status & ~command.bit);
        return m_classroom->setStatus(command.target, status);
    }
    case TeacherCommand::Kind::Hand: {
        const auto member = m_classroom->member(actor);
        if (!member) {
            error = u"%1 is not in this classroom"_s.arg(actor);
            return false;
        }
        UserInfo own{
            actor, {}, quint8(command.on ? member->status | 0x80 : member->status & 0x7f), 0};
        Wire::Failure failure;
        return m_classroom->act(actor, mtUserList, 2, Messages::userList(1, {own}, failure));
    }
    case TeacherCommand::Kind::End: return true;
    case TeacherCommand::Kind::Message: break;
    }
    if (actor == 0) {
        error = u"this classroom has no teacher"_s;
        return false;
    }
    if (!m_classroom->act(actor, command.type, command.verb, command.payload)) {
        error = u"%1 is not in this classroom"_s.arg(actor);
        return false;
    }
    return true;
}
