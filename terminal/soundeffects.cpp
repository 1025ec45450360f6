#include "soundeffects.h"

#include <QAudioDeviceInfo>
#include <QSoundEffect>
#include <QUrl>

SoundEffects::SoundEffects(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<SoundEffects::Sound>();
}

SoundEffects::~SoundEffects() = default;

QString SoundEffects::resourceName(Sound sound)
{
    switch (sound) {
    case Connected:
        return QStringLiteral(":/sound/connected.wav");
    case Disconnected:
        return QStringLiteral(":/sound/disconnected.wav");
    case Trade:
        return QStringLiteral(":/sound/trade.wav");
    case Error:
    case SoundCount:
        break;
    }
    return QStringLiteral(":/sound/error.wav");
}

void SoundEffects::play(Sound sound)
{
    if (sound < 0 || sound >= SoundCount)
        return;
    // Asked once, on the first sound: without an output device every effect made or played
    // would report the missing audio server again.
    if (m_device == Device::Unknown)
        m_device = QAudioDeviceInfo::defaultOutputDevice().isNull() ? Device::Missing : Device::Present;
    if (m_device == Device::Missing) {
        emit played(sound);
        return;
    }
    // Made on first use: each one reaches for the audio server, which start-up need not wait for.
    QSoundEffect *&effect = m_effects[sound];
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl(QStringLiteral("qrc") + resourceName(sound)));
    }
    if (effect->status() != QSoundEffect::Error)
        effect->play();
    emit played(sound);
}
