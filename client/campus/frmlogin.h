#pragma once

#include <QDialog>

class QLineEdit;

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

private:
    Global::Prompter &m_prompter;
    QLineEdit *m_code;
    QLineEdit *m_password;
};
