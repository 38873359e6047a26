#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// One row of the batch file list: icon, path and size, date (or page count
// for PDFs), status and the row buttons. Interface thread; owned by the list.
class KTableListItem : public QWidget
{
    Q_OBJECT
public:
    // Codes carried by operateBtnClicked.
    enum Operation { OpenFile = 0, OpenFolder = 1, DeleteFile = 3 };

    KTableListItem(QWidget *parent, const QString &path, bool pdfMode);

    QString filePath() const { return m_path; }
    int state() const { return m_state; }
    void setState(int state);
    void setProgress(int value);

    // PDF rows.
    int pageCount() const { return m_pageCount; }
    bool isLoaded() const { return m_loaded; }

    // For tests and the views: the row's parts.
    QPushButton *button(int i) const { return m_buttons[i]; }
    QString statusText() const;
    QString dateText() const;
    QString pageText() const;
    QProgressBar *progressBar() const { return m_progress; }
    QPushButton *selectPageButton() const { return m_selectPage; }
    bool isAnimating() const;

    // Date text of a row: the file's creation time, or empty when it is gone.
    static QString dateTextFor(const QString &path);
    // The desktop's icon for the file type, looked up by name only (cheap).
    static QIcon fileIcon(const QString &path);

signals:
    void operateBtnClicked(int code);

public slots:
    void onOperateBtnClicked();
    void onSelectPageClicked();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void styleButton(int i, const QString &image, const QString &tip);

    QString m_path;
    bool m_pdfMode = false;
    int m_state = 1;
    bool m_hovered = false;
    int m_pageCount = 0;
    bool m_loaded = false;
    QLabel *m_date = nullptr;
    QLabel *m_pages = nullptr;
    QPushButton *m_selectPage = nullptr;
    QLabel *m_statusIcon = nullptr;
    QLabel *m_statusText = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_buttons[3] = { nullptr, nullptr, nullptr };
};
