#pragma once

#include "widgets/KBaseDialog.h"

class QLineEdit;
class QPushButton;
class QTextEdit;

// The feedback form of the "more" menu: free text and a contact, sent to the
// service through the account manager without waiting for an answer.
// Interface thread; created per use by the menu, which deletes it after exec().
class KFeedBackView : public KBaseDialog
{
    Q_OBJECT
public:
    explicit KFeedBackView(QWidget *parent = nullptr);

    QTextEdit *contentEdit() const { return m_content; }
    QLineEdit *contactEdit() const { return m_contact; }
    QPushButton *commitButton() const { return m_commit; }
    QPushButton *closeButton() const { return m_close; }

public slots:
    void onClose();
    void onCommit();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTextEdit *m_content = nullptr;
    QLineEdit *m_contact = nullptr;
    QPushButton *m_commit = nullptr;
    QPushButton *m_close = nullptr;
};
