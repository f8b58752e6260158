#ifndef AUDIOTEST_H
#define AUDIOTEST_H

#include "messageformats.h"

#include <QSignalSpy>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class ZQPObject;

// What the audio tests share: the sound server they play to, players with
// a spy on their error signal, and listening to what arrives at the sink.

#define SKIP_WITHOUT_SERVER() \
    if (!qEnvironmentVariableIsSet("PULSE_SERVER")) \
        QSKIP("PULSE_SERVER is not set: no sound server to play to (scripts/test starts one)")

// Passes when expression, a description of what is wrong, is empty.
#define VERIFY_NO_FAULT(expression) \
    do { \
        const QString fault = (expression); \
        QVERIFY2(fault.isEmpty(), qPrintable(fault)); \
    } while (false)

namespace AudioTest {

// Points the sound server address at a socket that does not exist, for its
// own lifetime.
class NoServer
{
public:
    NoServer();
    ~NoServer();

private:
    QByteArray m_saved;
    bool m_wasSet;
};

// A new player with a spy on its error signal.
template<typename Player>
struct Spied
{
    std::unique_ptr<Player> player{new Player};
    QSignalSpy errors{player.get(), SIGNAL(error(QString))};
    QStringList messages() const { return errorsOf(errors); }
};

// What is wrong with what a loaded audio player plugin says of itself.
QString identityFault(ZQPObject *object, const char *className, const QString &name);

// Puts the staged FFmpeg add-on into the "bass" folder beside the program,
// where the BASS player looks for add-ons, or empties that folder. False if
// that fails.
bool installBassAddOn(bool installed);

QByteArray readFile(const QString &path);
// Bytes that no decoder recognises.
bool writeNoise(const QString &path);

// Records the sink while play() runs and for seconds more, and returns what
// check() finds wrong with the recording (or play()'s own answer). A sound
// server starved of CPU drops out of any player's short buffer, so a check
// that fails is tried again, three times in all.
QString listen(const std::function<QString()> &play, double seconds,
               const std::function<QString(const QVector<qint16> &)> &check);
// What is wrong with a recording of a tone of frequency that should last
// for seconds.
QString toneFault(const QVector<qint16> &heard, double frequency, double seconds);
// What is wrong with a recording of a sound stopped after half a second.
QString stoppedFault(const QVector<qint16> &heard);

} // namespace AudioTest

#endif // AUDIOTEST_H
