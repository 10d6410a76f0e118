#pragma once

#include "controls/coursemanage/aulix_coursemanage_export.h"

#include <QWidget>

class QPlainTextEdit;

// The "node properties" window: one read-only multi-line text.
class AULIX_COURSEMANAGE_EXPORT NodePropertiesWindow : public QWidget
{
    Q_OBJECT

public:
    explicit NodePropertiesWindow(QWidget *parent = nullptr);

    void showText(const QString &text);
    QString text() const;

private:
    QPlainTextEdit *m_text;
};
