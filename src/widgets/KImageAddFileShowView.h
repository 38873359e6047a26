#pragma once

#include <QImage>
#include <QWidget>

class KTableAddFileView;
class KTableImageView;
class QPushButton;
class QStackedLayout;

// Toolbar, then either the drop area or the single-image viewer. Relays
// dropped files.
class KImageAddFileShowView : public QWidget
{
    Q_OBJECT
public:
    explicit KImageAddFileShowView(QWidget *parent = nullptr);

    void setButtonsEnabled(bool enabled);
    void showImage(const QString &path, const QImage &image);
    void setHintText(const QString &text);
    void showAddPrompt();
    int currentPage() const;
    QPushButton *addButton() const { return m_add; }
    QPushButton *clearButton() const { return m_clear; }
    KTableAddFileView *dropArea() const { return m_dropArea; }
    KTableImageView *imageView() const { return m_imageView; }

signals:
    void addFile();
    void clearFile();
    void addFiles(const QStringList &files);

private:
    KTableAddFileView *m_dropArea = nullptr;
    KTableImageView *m_imageView = nullptr;
    QStackedLayout *m_stack = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_clear = nullptr;
};
