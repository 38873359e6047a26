#include "PSettings.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/SettingsStore.h"

namespace {
const QString kUserKey = QStringLiteral("quorvelUser");
const QString kClarityTipKey = QStringLiteral("tableOcrClarityTips");
} // namespace

PSettings::PSettings(QObject *parent)
    : QObject(parent)
    , m_store(std::make_unique<SettingsStore>())
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        if (QScreen *screen = QGuiApplication::primaryScreen())
            m_screenGeometry = screen->availableGeometry();
    }
}

PSettings::~PSettings() = default;

void PSettings::setUserId(const QString &id) { m_store->setValue(kUserKey, id); }

QString PSettings::userId() const
{
    return m_store->value(kUserKey, QVariant(QString())).toString();
}

void PSettings::setClarityTipEnabled(int on)
{
    m_store->setValue(kClarityTipKey, static_cast<unsigned>(on));
}

bool PSettings::clarityTipEnabled() const { return m_store->value(kClarityTipKey, 1u).toBool(); }
