#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The small progress window of the campus road and of downloads: a line of
// text, an optional progress bar and a cancel button; it stays on top of
// the other windows. Cancelling only says so: the owner of the job decides.
class FrmTip : public QWidget
{
    Q_OBJECT

public:
    explicit FrmTip(QWidget *parent = nullptr);

    void SetDisplayString(const QString &text);
    QString displayString() const;
    // Bytes received of `total`; a total of 0 or less shows a busy bar.
    void setProgress(qint64 received, qint64 total);
    void setProgressVisible(bool visible);
    int progressValue() const;

Q_SIGNALS:
    void cancelled();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_text;
    QProgressBar *m_progress;
    QPushButton *m_cancel;
};
