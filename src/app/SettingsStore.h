#pragma once

#include <memory>

#include <QString>
#include <QVariant>

class QSettings;

// Thin layer over the native per-user settings (organisation and application
// "quorvel"). Owned by PSettings; used on the interface thread only.
class SettingsStore
{
public:
    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    QVariant value(const QString &key, const QVariant &defaultValue = QVariant()) const;
    QVariant value(
        const QString &group, const QString &key, const QVariant &defaultValue = QVariant()) const;
    void setValue(const QString &key, const QVariant &value);
    void setValue(const QString &group, const QString &key, const QVariant &value);
    void remove(const QString &key);
    void remove(const QString &group, const QString &key);
    bool contains(const QString &key) const;
    bool contains(const QString &group, const QString &key) const;

    // Writes pending changes to disk now (the toolkit also does so on its own).
    void sync();

private:
    std::unique_ptr<QSettings> m_settings;
};
