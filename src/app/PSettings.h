#pragma once

#include <memory>

#include <QObject>
#include <QRect>

class SettingsStore;

// The program's persistent settings: the last logged-in user and the table
// recognition clarity tip. Created once by the application object, lives on the
// interface thread until exit. Every read and write goes straight to the store.
class PSettings : public QObject
{
    Q_OBJECT
public:
    explicit PSettings(QObject *parent = nullptr);
    ~PSettings() override;

    void setUserId(const QString &id);
    QString userId() const;

    void setClarityTipEnabled(int on);
    bool clarityTipEnabled() const;

    // Available geometry of the primary screen when the settings were created
    // (a null rectangle without a screen).
    QRect screenGeometry() const { return m_screenGeometry; }

    SettingsStore &store() { return *m_store; }

private:
    std::unique_ptr<SettingsStore> m_store;
    QRect m_screenGeometry;
};
