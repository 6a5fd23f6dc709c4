// The D-Bus faces of the service: the two MPRIS 2 interfaces on /org/mpris/MediaPlayer2 and
// the hand-over interface on /org/volnar/Instance. Qt's adaptors answer property reads and
// introspection from these declarations; every method only queues a command.
#pragma once

#include <QByteArrayList>
#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include "desktop_bus.h"

inline constexpr char kMprisPath[] = "/org/mpris/MediaPlayer2";
inline constexpr char kMprisRootInterface[] = "org.mpris.MediaPlayer2";
inline constexpr char kMprisPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
inline constexpr char kInstancePath[] = "/org/volnar/Instance";
inline constexpr char kInstanceInterface[] = "org.volnar.Instance";

// The service's side of the adaptors: the queue and the last published view. A command is
// not taken (false) when the queue is full or the player has been told to quit.
bool QueueBusCommand(BusCommand command);
const BusPlayerView &PublishedView();
std::int64_t CurrentPositionMicroseconds();
QVariantMap MetadataOf(const BusPlayerView &view);
// LoopStatus's text of BusPlayerView::loop.
QString LoopText(int loop);
QString StatusText(BusPlaybackStatus status);

// The object the adaptors sit on: Qt D-Bus gives an adaptor's call its context (the message,
// the reply) through the adaptor's parent.
class BusObject : public QObject, public QDBusContext {
    Q_OBJECT

  public:
    BusObject() = default;
};

class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool Fullscreen READ fullscreen WRITE setFullscreen)
    Q_PROPERTY(bool CanSetFullscreen READ canSetFullscreen)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)

  public:
    explicit MprisRootAdaptor(QObject *parent) : QDBusAbstractAdaptor(parent) {}

    bool canQuit() const { return true; }
    bool fullscreen() const { return false; }
    void setFullscreen(bool) {}  // two fixed-size skinned windows: nothing to fill a screen
    bool canSetFullscreen() const { return false; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("VOLNAR"); }
    QString desktopEntry() const { return QStringLiteral("volnar"); }
    QStringList supportedUriSchemes() const;
    QStringList supportedMimeTypes() const;

  public Q_SLOTS:
    void Raise();
    void Quit();
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ minimumRate)
    Q_PROPERTY(double MaximumRate READ maximumRate)
    Q_PROPERTY(bool CanGoNext READ canControl)
    Q_PROPERTY(bool CanGoPrevious READ canControl)
    Q_PROPERTY(bool CanPlay READ canControl)
    Q_PROPERTY(bool CanPause READ canControl)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)

  public:
    explicit MprisPlayerAdaptor(QObject *parent) : QDBusAbstractAdaptor(parent) {}

    QString playbackStatus() const { return StatusText(PublishedView().status); }
    QString loopStatus() const { return LoopText(PublishedView().loop); }
    // An unknown value is taken and changes nothing.
    void setLoopStatus(const QString &status);
    // The player plays at normal speed: a rate a client may try is taken and changes nothing.
    double rate() const { return 1.0; }
    void setRate(double) {}
    bool shuffle() const { return PublishedView().shuffle; }
    void setShuffle(bool on);
    QVariantMap metadata() const { return MetadataOf(PublishedView()); }
    double volume() const { return PublishedView().volume; }
    void setVolume(double volume);
    qlonglong position() const { return CurrentPositionMicroseconds(); }
    double minimumRate() const { return 1.0; }
    double maximumRate() const { return 1.0; }
    bool canSeek() const { return PublishedView().canSeek; }
    bool canControl() const { return true; }

  public Q_SLOTS:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath &trackId, qlonglong position);
    void OpenUri(const QString &uri);

  Q_SIGNALS:
    void Seeked(qlonglong position);
};

// A later start of the player hands its command line over here.
class InstanceAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.volnar.Instance")

  public:
    explicit InstanceAdaptor(QObject *parent) : QDBusAbstractAdaptor(parent) {}

  public Q_SLOTS:
    // File names are bytes, not always UTF-8: they travel as byte arrays.
    void HandArguments(const QByteArray &folder, const QByteArrayList &arguments);
};
