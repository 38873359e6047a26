#pragma once

#include "widgets/KBaseDialog.h"

class QLabel;
class QPushButton;

// Two-button message dialog. exec() returns 0 (closed), 1 (left button) or
// 2 (right button). Deletes itself when closed.
class KMessageTips : public KBaseDialog
{
    Q_OBJECT
public:
    KMessageTips(const QString &title, const QString &message, QWidget *parent = nullptr);

    void setOpenFileButtons(); // "open file" / "open folder"
    void setConfirmButtons(); // "I knwon" / "cancel"
    void setRetryButtons(); // "retry" / "ok"
    void setCompressButtons(); // "compress" / "cancel"

    QPushButton *leftButton() const { return m_left; }
    QPushButton *rightButton() const { return m_right; }
    QPushButton *closeButton() const { return m_close; }
    QString title() const;
    QString message() const;

public slots:
    void onClose();
    void onLeftBtn();
    void onRightBtn();

private:
    void setButtonTexts(const QString &left, const QString &right);

    QLabel *m_title = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_left = nullptr;
    QPushButton *m_right = nullptr;
};
