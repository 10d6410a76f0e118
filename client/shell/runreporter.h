#pragma once

#include "common/prompter.h"

#include <QDir>
#include <QJsonObject>
#include <QObject>
#include <QPointer>

#include <cstdio>

class QWidget;

// What a scripted run shows of itself: one JSON line per event on standard
// output (a window shown, a status text, a message box, a stage), and with
// a picture folder, a picture of every visible window at each stage.
class RunReporter : public QObject
{
    Q_OBJECT
public:
    // `out` may be null (no event lines); `pictureDir` may be empty.
    RunReporter(std::FILE *out, const QString &pictureDir, QObject *parent = nullptr);
    ~RunReporter() override;

    // Prints the event and, with a picture folder, saves the pictures of
    // the stage once the windows have painted. A stage that shows `window`
    // pictures it at once too, as an unattended run may close it quickly.
    void stage(const QString &name, const QString &detail = {}, QWidget *window = nullptr);
    void event(const QString &kind, const QJsonObject &fields);
    // Pictures of every visible top-level window now; returns the files.
    QStringList savePictures(const QString &name);
    // The file of a picture called `name`; empty without a picture folder.
    QString pictureFile(const QString &name) const;

    int stageCount() const { return m_stage; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::FILE *m_out;
    QDir m_pictures;
    bool m_savePictures = false;
    int m_stage = 0;
};

// Reports every message box before handing it on: to the real boxes, or,
// in an unattended run, answered at once by its first button (OK, Yes,
// Retry, Abort) with text questions cancelled.
class ReportingPrompter : public Global::Prompter
{
public:
    ReportingPrompter(Global::Prompter *inner, RunReporter *reporter);

    void show(
        const Global::Prompt &prompt, std::function<void(Global::PromptAnswer)> done = {}) override;
    void askText(const QString &title, const QString &label, const QString &initial,
        std::function<void(bool, const QString &)> done) override;

    static Global::PromptAnswer FirstButton(Global::PromptButtons buttons);

private:
    Global::Prompter *m_inner; // null: answered by the first button
    RunReporter *m_reporter;
};
