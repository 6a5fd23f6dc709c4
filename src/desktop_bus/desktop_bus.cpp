// The service's life, its queue of commands and what it tells the desktop. Runs on the
// user-interface thread only (see desktop_bus.h).
#include "desktop_bus.h"

#include <sys/stat.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QTimer>
#include <deque>
#include <memory>

#include "mpris_adaptors.h"

namespace {

constexpr char kServiceName[] = "org.mpris.MediaPlayer2.volnar";
constexpr char kTrackPathPrefix[] = "/org/volnar/Track/";
constexpr char kNoTrackPath[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
// A track that ends is noticed by a look this often while something plays; everything else
// is announced when it happens.
constexpr int kPlayingCheckMs = 250;
// A player that does not answer within this time is taken as gone.
constexpr int kHandOverTimeoutMs = 10000;
// Commands beyond this many waiting are refused (a client gone wild must not eat memory).
constexpr std::size_t kQueueLimit = 256;

struct Service {
    bool serving = false;
    BusPlayerQueries queries;
    std::unique_ptr<QObject> mprisObject;
    std::unique_ptr<QObject> instanceObject;
    std::unique_ptr<QTimer> playingCheck;
    std::deque<BusCommand> queue;
    bool ending = false;  // a Quit is queued
    BusPlayerView published;
};

Service g_service;

QDBusConnection Bus() {
    // The hand-over's argument list travels as an array of byte arrays.
    static const bool registered = [] {
        qDBusRegisterMetaType<QByteArrayList>();
        return true;
    }();
    (void)registered;
    return QDBusConnection::sessionBus();
}

QString FromUtf8(const std::string &text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void EmitPropertiesChanged(const char *interface, const QVariantMap &changed) {
    if (changed.isEmpty()) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kMprisPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(interface) << changed << QStringList();
    Bus().send(signal);
}

void KeepPlayingCheck() {
    if (!g_service.playingCheck) return;
    const bool playing = g_service.published.status == BusPlaybackStatus::kPlaying;
    if (playing && !g_service.playingCheck->isActive()) g_service.playingCheck->start();
    if (!playing && g_service.playingCheck->isActive()) g_service.playingCheck->stop();
}

// Only a bus that is there already: without an address the bus library would try to start
// one of its own (autolaunch), which a player has no business doing.
bool SessionBusAnnounced() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat info {};
    return !runtime.isEmpty() && stat((runtime + "/bus").constData(), &info) == 0 &&
           S_ISSOCK(info.st_mode);
}

}  // namespace

// --- What the adaptors see ---------------------------------------------------------------

bool QueueBusCommand(BusCommand command) {
    // Told to quit, the player takes nothing more: a hand-over taken now would be lost with it.
    if (g_service.ending || g_service.queue.size() >= kQueueLimit) return false;
    const bool quit = command.kind == BusCommandKind::kQuit;
    if (quit) g_service.ending = true;
    g_service.queue.push_back(std::move(command));
    if (quit && g_service.queries.quitQueued) g_service.queries.quitQueued();
    return true;
}

const BusPlayerView &PublishedView() {
    return g_service.published;
}

std::int64_t CurrentPositionMicroseconds() {
    if (!g_service.queries.positionMicroseconds) return 0;
    const std::int64_t position = g_service.queries.positionMicroseconds();
    return position < 0 ? 0 : position;
}

QString StatusText(BusPlaybackStatus status) {
    switch (status) {
        case BusPlaybackStatus::kPlaying:
            return QStringLiteral("Playing");
        case BusPlaybackStatus::kPaused:
            return QStringLiteral("Paused");
        case BusPlaybackStatus::kStopped:
            break;
    }
    return QStringLiteral("Stopped");
}

std::string TrackObjectPath(std::uint64_t trackNumber) {
    if (trackNumber == 0) return kNoTrackPath;
    return kTrackPathPrefix + std::to_string(trackNumber);
}

QString LoopText(int loop) {
    return loop == 1   ? QStringLiteral("Playlist")
           : loop == 2 ? QStringLiteral("Track")
                       : QStringLiteral("None");
}

QVariantMap MetadataOf(const BusPlayerView &view) {
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(
                        QString::fromLatin1(TrackObjectPath(view.trackNumber).c_str()))));
    if (view.trackNumber == 0) return metadata;
    metadata.insert(QStringLiteral("xesam:title"), FromUtf8(view.title));
    if (!view.artist.empty())
        metadata.insert(QStringLiteral("xesam:artist"), QStringList{FromUtf8(view.artist)});
    if (!view.album.empty()) metadata.insert(QStringLiteral("xesam:album"), FromUtf8(view.album));
    if (view.albumTrackNumber > 0)
        metadata.insert(QStringLiteral("xesam:trackNumber"), view.albumTrackNumber);
    if (!view.artUrl.empty())
        metadata.insert(QStringLiteral("mpris:artUrl"), FromUtf8(view.artUrl));
    if (!view.url.empty()) metadata.insert(QStringLiteral("xesam:url"), FromUtf8(view.url));
    if (view.lengthMicroseconds >= 0)
        metadata.insert(QStringLiteral("mpris:length"),
                        QVariant::fromValue(static_cast<qlonglong>(view.lengthMicroseconds)));
    return metadata;
}

// --- Life --------------------------------------------------------------------------------

namespace {

// dbus-send sends a signal unless it is told --type=method_call (or --print-reply), and
// countless keyboard-shortcut scripts and window-manager bindings send the player's commands
// that way, addressed to it. A signal of a command's name on the command's path and
// interface runs the command as the method call would.
void FollowCommandSignals(QDBusConnection &bus, MprisRootAdaptor *root,
                          MprisPlayerAdaptor *player) {
    const QString path = QString::fromLatin1(kMprisPath);
    const QString rootInterface = QString::fromLatin1(kMprisRootInterface);
    const QString playerInterface = QString::fromLatin1(kMprisPlayerInterface);
    const struct {
        const char *name;
        const char *slot;
    } rootCommands[] = {{"Raise", SLOT(Raise())}, {"Quit", SLOT(Quit())}},
      playerCommands[] = {{"Next", SLOT(Next())},
                          {"Previous", SLOT(Previous())},
                          {"Pause", SLOT(Pause())},
                          {"PlayPause", SLOT(PlayPause())},
                          {"Stop", SLOT(Stop())},
                          {"Play", SLOT(Play())},
                          {"Seek", SLOT(Seek(qlonglong))},
                          {"SetPosition", SLOT(SetPosition(QDBusObjectPath, qlonglong))},
                          {"OpenUri", SLOT(OpenUri(QString))}};
    for (const auto &command : rootCommands)
        bus.connect(QString(), path, rootInterface, QString::fromLatin1(command.name), root,
                    command.slot);
    for (const auto &command : playerCommands)
        bus.connect(QString(), path, playerInterface, QString::fromLatin1(command.name), player,
                    command.slot);
}

}  // namespace

BusStart StartDesktopBus(const BusPlayerQueries &queries) {
    if (g_service.serving) return BusStart::kServing;
    if (!SessionBusAnnounced()) return BusStart::kNoBus;
    QDBusConnection bus = Bus();
    if (!bus.isConnected() || !bus.interface()) return BusStart::kNoBus;

    g_service.queries = queries;
    if (queries.describe) g_service.published = queries.describe();

    auto mpris = std::make_unique<BusObject>();
    auto *root = new MprisRootAdaptor(mpris.get());
    auto *player = new MprisPlayerAdaptor(mpris.get());
    auto instance = std::make_unique<BusObject>();
    new InstanceAdaptor(instance.get());
    // The objects answer before the name is ours, so a client that sees the name appear
    // finds them at once.
    if (!bus.registerObject(kMprisPath, mpris.get(), QDBusConnection::ExportAdaptors) ||
        !bus.registerObject(kInstancePath, instance.get(), QDBusConnection::ExportAdaptors)) {
        bus.unregisterObject(kMprisPath);
        bus.unregisterObject(kInstancePath);
        return BusStart::kNoBus;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(kServiceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(kMprisPath);
        bus.unregisterObject(kInstancePath);
        // A refused call leaves the name's holder unknown; a plain "taken" names another player.
        return reply.isValid() ? BusStart::kOtherPlayerRuns : BusStart::kNoBus;
    }

    FollowCommandSignals(bus, root, player);
    g_service.mprisObject = std::move(mpris);
    g_service.instanceObject = std::move(instance);
    g_service.playingCheck = std::make_unique<QTimer>();
    g_service.playingCheck->setInterval(kPlayingCheckMs);
    QObject::connect(g_service.playingCheck.get(), &QTimer::timeout, [] { PublishPlayerView(); });
    g_service.serving = true;
    KeepPlayingCheck();
    return BusStart::kServing;
}

bool HandArgumentsToRunningPlayer(const std::string &folder,
                                  const std::vector<std::string> &arguments) {
    if (!SessionBusAnnounced()) return false;
    QDBusConnection bus = Bus();
    if (!bus.isConnected()) return false;
    QByteArrayList list;
    for (const std::string &argument : arguments)
        list.append(QByteArray(argument.data(), static_cast<qsizetype>(argument.size())));
    QDBusMessage call = QDBusMessage::createMethodCall(
        kServiceName, kInstancePath, kInstanceInterface, QStringLiteral("HandArguments"));
    call << QByteArray(folder.data(), static_cast<qsizetype>(folder.size()))
         << QVariant::fromValue(list);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kHandOverTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void StopDesktopBus() {
    if (!g_service.serving) return;
    QDBusConnection bus = Bus();
    bus.unregisterService(kServiceName);
    bus.unregisterObject(kMprisPath);
    bus.unregisterObject(kInstancePath);
    g_service.playingCheck.reset();
    g_service.mprisObject.reset();
    g_service.instanceObject.reset();
    g_service.queue.clear();
    g_service.ending = false;
    g_service.serving = false;
}

// --- Commands and announcements ----------------------------------------------------------

bool DesktopCommandsWaiting() {
    return !g_service.queue.empty();
}

bool TakeDesktopCommand(BusCommand *command) {
    if (g_service.queue.empty()) return false;
    *command = std::move(g_service.queue.front());
    g_service.queue.pop_front();
    // The player ends now, before it hears the bus again: what comes later finds the name
    // free and starts a player of its own.
    if (command->kind == BusCommandKind::kQuit) g_service.ending = false;
    return true;
}

void PublishPlayerView() {
    if (!g_service.serving || !g_service.queries.describe) return;
    const BusPlayerView now = g_service.queries.describe();
    const BusPlayerView &before = g_service.published;
    if (now == before) return;

    QVariantMap changed;
    if (now.status != before.status)
        changed.insert(QStringLiteral("PlaybackStatus"), StatusText(now.status));
    if (now.trackNumber != before.trackNumber || now.title != before.title ||
        now.artist != before.artist || now.url != before.url || now.album != before.album ||
        now.albumTrackNumber != before.albumTrackNumber || now.artUrl != before.artUrl ||
        now.lengthMicroseconds != before.lengthMicroseconds)
        changed.insert(QStringLiteral("Metadata"), MetadataOf(now));
    if (now.loop != before.loop) changed.insert(QStringLiteral("LoopStatus"), LoopText(now.loop));
    if (now.shuffle != before.shuffle) changed.insert(QStringLiteral("Shuffle"), now.shuffle);
    if (now.volume != before.volume) changed.insert(QStringLiteral("Volume"), now.volume);
    if (now.canSeek != before.canSeek) changed.insert(QStringLiteral("CanSeek"), now.canSeek);
    g_service.published = now;
    EmitPropertiesChanged(kMprisPlayerInterface, changed);
    KeepPlayingCheck();
}

void PublishSeeked(std::int64_t positionMicroseconds) {
    if (!g_service.serving) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        kMprisPath, QString::fromLatin1(kMprisPlayerInterface), QStringLiteral("Seeked"));
    signal << static_cast<qlonglong>(positionMicroseconds < 0 ? 0 : positionMicroseconds);
    Bus().send(signal);
}
