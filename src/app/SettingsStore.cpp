#include "SettingsStore.h"

#include <QSettings>

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
        QStringLiteral("quorvel"), QStringLiteral("quorvel")))
{
}

SettingsStore::~SettingsStore() = default;

QVariant SettingsStore::value(const QString &key, const QVariant &defaultValue) const
{
    return m_settings->value(key, defaultValue);
}

QVariant SettingsStore::value(
    const QString &group, const QString &key, const QVariant &defaultValue) const
{
    m_settings->beginGroup(group);
    const QVariant result = m_settings->value(key, defaultValue);
    m_settings->endGroup();
    return result;
}

void SettingsStore::setValue(const QString &key, const QVariant &value)
{
    m_settings->setValue(key, value);
}

void SettingsStore::setValue(const QString &group, const QString &key, const QVariant &value)
{
    m_settings->beginGroup(group);
    m_settings->setValue(key, value);
    m_settings->endGroup();
}

void SettingsStore::remove(const QString &key) { m_settings->remove(key); }

void SettingsStore::remove(const QString &group, const QString &key)
{
    m_settings->beginGroup(group);
    m_settings->remove(key);
    m_settings->endGroup();
}

bool SettingsStore::contains(const QString &key) const { return m_settings->contains(key); }

bool SettingsStore::contains(const QString &group, const QString &key) const
{
    m_settings->beginGroup(group);
    const bool result = m_settings->contains(key);
    m_settings->endGroup();
    return result;
}

void SettingsStore::sync() { m_settings->sync(); }
