#pragma once

#include <QWidget>

class KTableAddFileView;
class QPushButton;

// Empty page of a single-image tool: toolbar and a "Choose File" target.
// Dropped files are not taken here.
class KImageAddFileWidget : public QWidget
{
    Q_OBJECT
public:
    explicit KImageAddFileWidget(QWidget *parent = nullptr);

    void setHintText(const QString &text);
    QPushButton *addButton() const { return m_add; }
    QPushButton *clearButton() const { return m_clear; }
    KTableAddFileView *dropArea() const { return m_dropArea; }

signals:
    void addFile();
    void clearFile();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    KTableAddFileView *m_dropArea = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_clear = nullptr;
};
