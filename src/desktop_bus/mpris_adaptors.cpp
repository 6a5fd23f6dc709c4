// The adaptors' methods: each queues the command for the player's next loop turn.
#include "mpris_adaptors.h"

namespace {

void Queue(BusCommandKind kind) {
    BusCommand command;
    command.kind = kind;
    QueueBusCommand(std::move(command));
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
    Queue(BusCommandKind::kRaise);
}

void MprisRootAdaptor::Quit() {
    Queue(BusCommandKind::kQuit);
}

void MprisPlayerAdaptor::setVolume(double volume) {
    BusCommand command;
    command.kind = BusCommandKind::kSetVolume;
    command.volume = volume;
    QueueBusCommand(std::move(command));
}

void MprisPlayerAdaptor::Next() {
    Queue(BusCommandKind::kNext);
}

void MprisPlayerAdaptor::Previous() {
    Queue(BusCommandKind::kPrevious);
}

void MprisPlayerAdaptor::Pause() {
    Queue(BusCommandKind::kPause);
}

void MprisPlayerAdaptor::PlayPause() {
    Queue(BusCommandKind::kPlayPause);
}

void MprisPlayerAdaptor::Stop() {
    Queue(BusCommandKind::kStop);
}

void MprisPlayerAdaptor::Play() {
    Queue(BusCommandKind::kPlay);
}

void MprisPlayerAdaptor::Seek(qlonglong offset) {
    BusCommand command;
    command.kind = BusCommandKind::kSeekBy;
    command.microseconds = offset;
    QueueBusCommand(std::move(command));
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
    QueueBusCommand(std::move(command));
}

void MprisPlayerAdaptor::OpenUri(const QString &uri) {
    BusCommand command;
    command.kind = BusCommandKind::kOpenUri;
    command.text = uri.toStdString();
    QueueBusCommand(std::move(command));
}

void InstanceAdaptor::HandArguments(const QByteArray &folder, const QByteArrayList &arguments) {
    BusCommand command;
    command.kind = BusCommandKind::kHandArguments;
    command.text.assign(folder.constData(), static_cast<std::size_t>(folder.size()));
    for (const QByteArray &argument : arguments)
        command.arguments.emplace_back(argument.constData(),
                                       static_cast<std::size_t>(argument.size()));
    QueueBusCommand(std::move(command));
}
