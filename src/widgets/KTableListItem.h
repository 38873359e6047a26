#pragma once

#include <QWidget>

#include "app/BatchResult.h"
#include "pdf/SelectPageItem.h"

class KSelectPageView;
class KTableListFileInfo;
class QLabel;
class QProgressBar;
class QPushButton;

// One row of the batch file list: icon, path and size, date (or page count
// for PDFs), status and the row buttons. Interface thread; owned by the list.
// A PDF row also keeps its document's page choice and the dialog that edits
// it, created on first use and reused while the row lives.
class KTableListItem : public QWidget
{
    Q_OBJECT
public:
    // Codes carried by operateBtnClicked.
    enum Operation { OpenFile = 0, OpenFolder = 1, DeleteFile = 3 };

    // A PDF row counts its document's pages through the list's page counter.
    KTableListItem(QWidget *parent, const QString &path, bool pdfMode);
    // A PDF row whose page count the caller already has (negative or 0: not loaded).
    KTableListItem(QWidget *parent, const QString &path, bool pdfMode, int pageCount);

    QString filePath() const { return m_path; }
    int state() const { return m_state; }
    void setState(int state);
    // State plus, for a failed file, its reason as the row's tooltip and as
    // a short second line.
    void setResult(const BatchResult &result);
    QString reasonText() const { return m_reason; }
    // The reason as shown on the second line (elided).
    QString reasonLineText() const;
    void setProgress(int value);

    // PDF rows.
    int pageCount() const { return m_pageCount; }
    bool isLoaded() const { return m_loaded; }
    // The page choice as last accepted, count included.
    SelectPageItem selection() const { return m_selection; }
    // Null until the page-selection button was first pressed.
    KSelectPageView *selectPageView() const { return m_selectView; }

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
    void selectPageChanged(SelectPageItem item);

public slots:
    void onOperateBtnClicked();
    void onSelectPageClicked();
    void onSelectPageChanged(SelectPageItem item);

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void styleButton(int i, const QString &image, const QString &tip);

    QString m_path;
    QString m_reason;
    KTableListFileInfo *m_info = nullptr;
    bool m_pdfMode = false;
    int m_state = 1;
    bool m_hovered = false;
    int m_pageCount = 0;
    bool m_loaded = false;
    SelectPageItem m_selection;
    KSelectPageView *m_selectView = nullptr;
    QLabel *m_date = nullptr;
    QLabel *m_pages = nullptr;
    QPushButton *m_selectPage = nullptr;
    QLabel *m_statusIcon = nullptr;
    QLabel *m_statusText = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_buttons[3] = { nullptr, nullptr, nullptr };
};
