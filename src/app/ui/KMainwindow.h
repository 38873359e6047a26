#pragma once

#include <QMainWindow>

class KMainView;
class KShadowBorder;
class KTitleBar;

// The one frameless, fixed-size window: title bar on top, mode stack below,
// a separate shadow window around it. Created at start-up, lives until exit.
class KMainwindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit KMainwindow(QWidget *parent = nullptr);

    KTitleBar *titleBar() const { return m_titleBar; }
    KMainView *mainView() const { return m_mainView; }
    KShadowBorder *shadow() const { return m_shadow; }

    // Top-left corner for a window of the given size on a screen whose
    // available area is available: centred, 10 px above the middle; on small
    // screens as if the window were scaled down to fit.
    static QPoint placement(const QRect &available, const QSize &size = QSize(1050, 620));

    // Files handed to the program at start ("Open with" in a file manager):
    // images are listed in Image Convert, PDF documents in PDF to PIC, and
    // the window shows the tool that got them (Image Convert when both did).
    // Returns the paths that were not listed: missing, not a regular file,
    // or of a type the program does not read.
    QStringList openFiles(const QStringList &paths);

public slots:
    void onMinimize();
    void onMaximize();
    void onCloseWindow();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    KTitleBar *m_titleBar = nullptr;
    KMainView *m_mainView = nullptr;
    KShadowBorder *m_shadow = nullptr;
    bool m_dragging = false;
    QPoint m_pressPos;
};
