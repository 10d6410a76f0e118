#pragma once

#include <QDialog>

class QLineEdit;

// The small text-input dialog of the whiteboard text tool. Shown without a
// nested event loop: the caller opens it and reads result() when
// finished() arrives.
class FrmInput : public QDialog
{
    Q_OBJECT
public:
    explicit FrmInput(QWidget *parent = nullptr);

    QString result() const { return m_result; }
    QLineEdit *txtInput() const { return m_txtInput; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void onOk();
    void onCancel();

    QLineEdit *m_txtInput = nullptr;
    QString m_result;
};
