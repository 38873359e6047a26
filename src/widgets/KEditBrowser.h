#pragma once

#include <QTextEdit>

// Multi-line text area with the program's look (feedback form, results).
class KEditBrowser : public QTextEdit
{
    Q_OBJECT
public:
    explicit KEditBrowser(QWidget *parent = nullptr);

    void scrollToFraction(double fraction);
    void setCursorPosition(int position);
};
