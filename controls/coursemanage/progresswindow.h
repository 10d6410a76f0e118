#pragma once

#include "controls/coursemanage/aulix_coursemanage_export.h"

#include <QWidget>

class QLabel;
class QProgressBar;

// A small tool window with a caption and a bar from 0 to 100, shown while a
// courseware file is read or written. It never blocks: the work runs
// elsewhere and moves the bar through setValue().
class AULIX_COURSEMANAGE_EXPORT ProgressWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ProgressWindow(QWidget *parent = nullptr);

    void start(const QString &caption);
    void setValue(int percent);
    int value() const;
    QString caption() const;

private:
    QLabel *m_caption;
    QProgressBar *m_bar;
};
