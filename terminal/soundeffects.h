// The terminal's four sounds. Machines without an audio device are common (servers,
// containers, test runs): a sound that cannot play is skipped, never waited for.
#pragma once

#include <QObject>
#include <array>

class QSoundEffect;

class SoundEffects : public QObject
{
    Q_OBJECT

public:
    enum Sound { Connected, Disconnected, Trade, Error, SoundCount };
    Q_ENUM(Sound)

    explicit SoundEffects(QObject *parent = nullptr);
    ~SoundEffects() override;

    void play(Sound sound);
    static QString resourceName(Sound sound);

signals:
    // Emitted for every request, whether or not a device plays it.
    void played(SoundEffects::Sound sound);

private:
    enum class Device { Unknown, Present, Missing };
    Device m_device = Device::Unknown;
    std::array<QSoundEffect *, SoundCount> m_effects{};
};
