#pragma once

#include <QWidget>

class KAddPictureLabel;
class QMimeData;
class QLabel;

// Empty-state page: a "Choose File" target and a hint line. On its own it also
// takes drops of supported images; inside the batch list the list handles drops.
class KTableAddFileView : public QWidget
{
    Q_OBJECT
public:
    explicit KTableAddFileView(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;
    void setDropEnabled(bool enabled);
    KAddPictureLabel *target() const { return m_target; }

    // Local regular files among the URLs of a drag (empty when there are none).
    static QStringList localFiles(const QMimeData *mime);

signals:
    void clicked();
    void addFiles(const QStringList &files);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    KAddPictureLabel *m_target = nullptr;
    QLabel *m_hint = nullptr;
};
