#pragma once

#include <QWidget>

// Stand-in page for a tool whose view is not part of this build yet.
class KPlaceholderView : public QWidget
{
    Q_OBJECT
public:
    explicit KPlaceholderView(const QString &toolName, QWidget *parent = nullptr);

    QString toolName() const { return m_toolName; }

private:
    QString m_toolName;
};
