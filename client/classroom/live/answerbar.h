#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace ClassLive {

// The slim bar along the bottom of the whiteboard where the student answers
// the teacher's questions: the question text and the "Yes"/"No" or "OK"
// buttons. Hidden while no question is open.
class AnswerBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int BarHeight = 32;

    explicit AnswerBar(QWidget *parent = nullptr);

    // Lays the bar along the bottom of `board`, in the board's parent, and
    // keeps it there: it follows the board's moves and resizes and stays
    // above every sibling, also those raised or created later (the drawing
    // layer, the presentation). Not owned.
    void attachTo(QWidget *board);

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void give(const QString &answer);
    void refresh();
    void describe();
    void announce();
    void place();
    void keepOnTop();
    void watchSibling(QObject *child);

    QLabel *m_text = nullptr;
    QPushButton *m_yes = nullptr;
    QPushButton *m_no = nullptr;
    QPushButton *m_okButton = nullptr;
    QPointer<QWidget> m_board;
    bool m_yesNo = false;
    bool m_ok = false;
    QString m_answer;
};

} // namespace ClassLive
