#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The transfer window: a caption, a line of text, a progress bar (percent)
// and a cancel button. It shows what its owner tells it and reports the
// cancel; it does no transfer itself.
class FrmStatus : public QWidget
{
    Q_OBJECT
public:
    explicit FrmStatus(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;
    // 0..100.
    void setProgress(int percent);
    int progress() const;
    QProgressBar *progressBar() const { return m_bar; }
    QPushButton *cmdCancel() const { return m_cancel; }

Q_SIGNALS:
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_text = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancel = nullptr;
};
