#include "soundeffects.h"

#include <QSoundEffect>
#include <QUrl>

SoundEffects::SoundEffects(QObject *parent) : QObject(parent)
{
    for (int i = 0; i < SoundCount; ++i) {
        m_effects[i] = new QSoundEffect(this);
        m_effects[i]->setSource(QUrl(QStringLiteral("qrc") + resourceName(Sound(i))));
    }
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
    QSoundEffect *effect = m_effects[sound];
    if (effect->status() != QSoundEffect::Error)
        effect->play();
    emit played(sound);
}
