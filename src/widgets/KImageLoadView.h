#pragma once

#include "widgets/KBaseDialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

// Progress dialog of a long operation. The owner feeds setValue/setText,
// reacts to btnClosed() and closes it; it deletes itself when closed.
class KImageLoadView : public KBaseDialog
{
    Q_OBJECT
public:
    explicit KImageLoadView(const QString &title, QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;
    void setValue(int value);
    int value() const;
    QPushButton *closeButton() const { return m_close; }

signals:
    void btnClosed();

private:
    QLabel *m_title = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_close = nullptr;
};
