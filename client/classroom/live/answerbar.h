#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace ClassLive {

// The slim bar under the whiteboard where the student answers the
// teacher's questions: the question text and the "Yes"/"No" or "OK"
// buttons. Hidden while no question is open.
class AnswerBar : public QWidget
{
    Q_OBJECT
public:
    explicit AnswerBar(QWidget *parent = nullptr);

    // The two switches: true shows the buttons of that kind of question.
    bool YesNoSwitch() const { return m_yesNo; }
    void setYesNoSwitch(bool on);
    bool OkSwitch() const { return m_ok; }
    void setOkSwitch(bool on);
    void setQuestion(const QString &text);
    QString question() const;
    // The answer just given: "Yes", "No" or "OK".
    QString Answer() const { return m_answer; }

    QPushButton *yesButton() const { return m_yes; }
    QPushButton *noButton() const { return m_no; }
    QPushButton *okButton() const { return m_okButton; }

Q_SIGNALS:
    void answered();

private:
    void give(const QString &answer);
    void refresh();

    QLabel *m_text = nullptr;
    QPushButton *m_yes = nullptr;
    QPushButton *m_no = nullptr;
    QPushButton *m_okButton = nullptr;
    bool m_yesNo = false;
    bool m_ok = false;
    QString m_answer;
};

} // namespace ClassLive
