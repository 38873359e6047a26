#pragma once

#include <functional>

#include <QString>

class KMessageTips;
class KvHttp;
class QLineEdit;
class QPushButton;
class QWidget;

// Pieces the online tool views share. Interface thread only.
namespace OnlineViewParts {

// Fixed height, and the given width unless the text needs more (font
// substitutes and translations run wider than the design's sizes).
void fitSize(QWidget *widget, int width, int height);

// A two-button message shown without a nested event loop; answer gets the
// dialog's result (0 closed, 1 left button, 2 right button).
enum class Buttons { Confirm, Retry, Compress, OpenFile };
KMessageTips *ask(QWidget *parent, const QString &title, const QString &text, Buttons buttons,
    std::function<void(int)> answer = {});

// A job's failure message: the tool's own text first, then one plain line
// when the service could not be reached at all.
QString failureText(const QString &message, const KvHttp &client);

// Whether the user is logged in; opens the login page when not.
bool ensureLoggedIn();

} // namespace OnlineViewParts
