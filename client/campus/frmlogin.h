#pragma once

#include <QDialog>
#include <QTimer>

class QDialogButtonBox;
class QLineEdit;
class QProgressBar;

namespace Global {
class Prompter;
}

// The login dialog: student code and password. OK with an empty field
// says so and stays open; Cancel clears the stored password and number.
// Shown with open(); the result arrives as accepted() or rejected().
class frmLogin : public QDialog
{
    Q_OBJECT

public:
    frmLogin(Global::Prompter &prompter, QWidget *parent = nullptr);

    QString UserName; // trimmed student code
    QString Password;
    QString UserID; // the user's number, looked up on the web

    // Fills the fields (scripted runs and tests).
    void fill(const QString &code, const QString &password);
    // The OK button.
    void confirm();

    // The wait after a login that went through (the pause before the
    // booking dialog): the dialog shows again, its fields and buttons
    // idle, with a bar that fills over `milliseconds` and then hides it.
    // endProgress() hides it sooner. Neither changes the result.
    void showProgress(int milliseconds);
    void endProgress();
    bool inProgress() const { return m_progressTimer.isActive(); }
    QProgressBar *progressBar() const { return m_progress; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setWaiting(bool waiting);

    Global::Prompter &m_prompter;
    QLineEdit *m_code;
    QLineEdit *m_password;
    QDialogButtonBox *m_buttons = nullptr;
    QProgressBar *m_progress = nullptr;
    QTimer m_progressTimer;
    qint64 m_progressStart = 0;
    int m_progressLength = 0;
};
