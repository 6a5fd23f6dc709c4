// The adaptors' methods: each queues the command for the player's next loop turn.
#include "mpris_adaptors.h"

#include <QDBusError>
#include <QDBusMessage>

namespace {

// A command that is not taken is answered with an error, so that its sender knows (a later
// start then runs a player of its own); a signal, dbus-send's default, has nobody to answer.
void Queue(QObject *adaptorParent, BusCommand command) {
    if (QueueBusCommand(std::move(command))) return;
    auto *object = qobject_cast<BusObject *>(adaptorParent);
    if (!object || !object->calledFromDBus() ||
        object->message().type() != QDBusMessage::MethodCallMessage)
        return;
    object->sendErrorReply(QDBusError::LimitsExceeded,
                           QStringLiteral("The player takes no commands now."));
}

void Queue(QObject *adaptorParent, BusCommandKind kind) {
    BusCommand command;
    command.kind = kind;
    Queue(adaptorParent, std::move(command));
}

}  // namespace

QStringList MprisRootAdaptor::supportedUriSchemes() const {
    return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")};
}

QStringList MprisRootAdaptor::supportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-wav"),
            QStringLiteral("audio/wav"), QStringLiteral("audio/midi"),
            QStringLiteral("audio/x-midi")};
}

void MprisRootAdaptor::Raise() {
    Queue(parent(), BusCommandKind::kRaise);
}

void MprisRootAdaptor::Quit() {
    Queue(parent(), BusCommandKind::kQuit);
}

void MprisPlayerAdaptor::setVolume(double volume) {
    BusCommand command;
    command.kind = BusCommandKind::kSetVolume;
    command.volume = volume;
    Queue(parent(), std::move(command));
}

void MprisPlayerAdaptor::setLoopStatus(const QString &status) {
    BusCommand command;
    command.kind = BusCommandKind::kSetLoop;
    if (status == QStringLiteral("None"))
        command.trackNumber = 0;
    else if (status == QStringLiteral("Playlist"))
        command.trackNumber = 1;
    else if (status == QStringLiteral("Track"))
        command.trackNumber = 2;
    else
        return;
    Queue(parent(), std::move(command));
}

void MprisPlayerAdaptor::setShuffle(bool on) {
    BusCommand command;
    command.kind = BusCommandKind::kSetShuffle;
    command.trackNumber = on ? 1 : 0;
    Queue(parent(), std::move(command));
}

void MprisPlayerAdaptor::Next() {
    Queue(parent(), BusCommandKind::kNext);
}

void MprisPlayerAdaptor::Previous() {
    Queue(parent(), BusCommandKind::kPrevious);
}

void MprisPlayerAdaptor::Pause() {
    Queue(parent(), BusCommandKind::kPause);
}

void MprisPlayerAdaptor::PlayPause() {
    Queue(parent(), BusCommandKind::kPlayPause);
}

void MprisPlayerAdaptor::Stop() {
    Queue(parent(), BusCommandKind::kStop);
}

void MprisPlayerAdaptor::Play() {
    Queue(parent(), BusCommandKind::kPlay);
}

void MprisPlayerAdaptor::Seek(qlonglong offset) {
    BusCommand command;
    command.kind = BusCommandKind::kSeekBy;
    command.microseconds = offset;
    Queue(parent(), std::move(command));
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath &trackId, qlonglong position) {
    // A position meant for another track than the one published is ignored (a desktop
    // panel may still hold the previous track's id); so is one before the start.
    const std::string path = trackId.path().toStdString();
    const std::uint64_t track = PublishedView().trackNumber;
    if (track == 0 || path != TrackObjectPath(track) || position < 0) return;
    BusCommand command;
    command.kind = BusCommandKind::kSetPosition;
    command.microseconds = position;
    command.trackNumber = track;
    Queue(parent(), std::move(command));
}

void MprisPlayerAdaptor::OpenUri(const QString &uri) {
    BusCommand command;
    command.kind = BusCommandKind::kOpenUri;
    command.text = uri.toStdString();
    Queue(parent(), std::move(command));
}

void InstanceAdaptor::HandArguments(const QByteArray &folder, const QByteArrayList &arguments) {
    BusCommand command;
    command.kind = BusCommandKind::kHandArguments;
    command.text.assign(folder.constData(), static_cast<std::size_t>(folder.size()));
    for (const QByteArray &argument : arguments)
        command.arguments.emplace_back(argument.constData(),
                                       static_cast<std::size_t>(argument.size()));
    Queue(parent(), std::move(command));
}
