#pragma once

#include <QWidget>

#include "app/BatchResult.h"

class KTableListFileInfo;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;

// One row of the batch file list: icon, path and size, date, status and the
// row buttons. Interface thread; owned by the list. Rows of a special kind
// (PDF documents) derive from it: they fill the detail column themselves and
// may show a progress bar in place of the status text.
class KTableListItem : public QWidget
{
    Q_OBJECT
public:
    // Codes carried by operateBtnClicked.
    enum Operation { OpenFile = 0, OpenFolder = 1, DeleteFile = 3 };

    KTableListItem(QWidget *parent, const QString &path);

    QString filePath() const { return m_path; }
    BatchResult::Status state() const { return m_state; }
    void setState(BatchResult::Status state);
    // State plus, for a failed file, its reason as the row's tooltip and as
    // a short second line.
    void setResult(const BatchResult &result);
    QString reasonText() const { return m_reason; }
    // The reason as shown on the second line (elided).
    QString reasonLineText() const;
    void setProgress(int value);

    // For tests and the views: the row's parts.
    QPushButton *button(int i) const { return m_buttons[i]; }
    QString statusText() const;
    QString dateText() const;
    QProgressBar *progressBar() const { return m_progress; }
    bool isAnimating() const;

    // Date text of a row: the file's creation time, or empty when it is gone.
    static QString dateTextFor(const QString &path);
    // The desktop's icon for the file type, looked up by name only (cheap).
    static QIcon fileIcon(const QString &path);

signals:
    void operateBtnClicked(int code);

public slots:
    void onOperateBtnClicked();

protected:
    enum class StatusColumn { Text, ProgressBar };
    // For derived rows: the detail column is left empty for them to fill.
    KTableListItem(QWidget *parent, const QString &path, StatusColumn status);
    // Between the file's name and its status.
    QHBoxLayout *detailLayout() const { return m_detail; }
    // The rows' 12 px font, and grey text through the palette (not a style sheet).
    static QFont rowFont();
    static void setGrey(QLabel *label);

    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void styleButton(int i, const QString &image, const QString &tip);

    QString m_path;
    QString m_reason;
    KTableListFileInfo *m_info = nullptr;
    BatchResult::Status m_state = BatchResult::NotStarted;
    bool m_hovered = false;
    QHBoxLayout *m_detail = nullptr;
    QLabel *m_date = nullptr;
    QLabel *m_statusIcon = nullptr;
    QLabel *m_statusText = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_buttons[3] = { nullptr, nullptr, nullptr };
};
