#pragma once

#include <QTextBrowser>

// The read-only text of a recognition result: the program's browser and
// scroll-bar look, no context menus, light-blue selection.
class OcrTextBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    explicit OcrTextBrowser(QWidget *parent = nullptr);
};
