// Drops on the top-level windows: what a file manager or a browser drops (a list of
// addresses, or a plain text) turned into the locations the player opens, kept beside the
// event queue in the same order as the kDrop events.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QObject>
#include <QUrl>
#include <QWidget>
#include <deque>

#include "drop_events.h"
#include "drop_input.h"
#include "event_queue.h"

namespace {

struct DropRecord {
    std::vector<std::string> locations;
    ScreenPoint point;
};

std::deque<DropRecord> g_queuedDrops;
DropRecord g_lastDrop;

// A plain text is looked at up to here: a station's address is short.
constexpr qsizetype kMaxDroppedText = 64 * 1024;

bool IsWebAddress(const QString &text) {
    return text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

void Keep(std::vector<std::string> &locations, const QByteArray &bytes) {
    if (bytes.isEmpty() || static_cast<std::size_t>(bytes.size()) > kMaxDroppedBytes ||
        bytes.contains('\0') || locations.size() >= kMaxDroppedLocations)
        return;
    locations.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::vector<std::string> DroppedLocations(const QMimeData &data) {
    std::vector<std::string> locations;
    if (data.hasUrls()) {
        const QList<QUrl> urls = data.urls();
        for (const QUrl &url : urls) {
            if (locations.size() >= kMaxDroppedLocations) break;
            if (url.isLocalFile())
                Keep(locations, QFile::encodeName(url.toLocalFile()));
            else if (IsWebAddress(url.scheme() + QLatin1String("://")))
                Keep(locations, url.toEncoded());
        }
        return locations;
    }
    if (data.hasText()) {
        const QString text = data.text().left(kMaxDroppedText);
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            const QString address = line.trimmed();
            if (IsWebAddress(address) && !address.contains(QLatin1Char(' ')))
                Keep(locations, address.toUtf8());
        }
    }
    return locations;
}

bool MayBeDropped(const QMimeData *data) {
    return data && (data->hasUrls() || data->hasText());
}

// Watches its window's drag and drop events; a child of the window, so it goes with it.
class DropWatcher : public QObject {
  public:
    DropWatcher(QWidget *window, int number) : QObject(window), number_(number) {
        window->setAcceptDrops(true);
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto *drag = static_cast<QDragMoveEvent *>(event);
                if (MayBeDropped(drag->mimeData()))
                    drag->acceptProposedAction();
                else
                    drag->ignore();
                return true;
            }
            case QEvent::Drop: {
                auto *drop = static_cast<QDropEvent *>(event);
                if (!drop->mimeData()) return true;
                DropRecord record;
                record.locations = DroppedLocations(*drop->mimeData());
                const QPoint global =
                    static_cast<QWidget *>(parent())->mapToGlobal(drop->position().toPoint());
                record.point = ScreenPoint{global.x(), global.y()};
                drop->acceptProposedAction();
                g_queuedDrops.push_back(std::move(record));
                QueueInputEvent(kDrop, number_);
                return true;
            }
            default:
                return false;
        }
    }

  private:
    int number_;
};

}  // namespace

void AcceptDrops(QWidget *topWindow, int window) {
    new DropWatcher(topWindow, window);
}

void TakeQueuedDrop() {
    if (g_queuedDrops.empty()) return;
    g_lastDrop = std::move(g_queuedDrops.front());
    g_queuedDrops.pop_front();
}

void ForgetQueuedDrops() {
    g_queuedDrops.clear();
    g_lastDrop = DropRecord{};
}

std::vector<std::string> LastEventDropLocations() {
    return g_lastDrop.locations;
}

ScreenPoint LastEventDropPoint() {
    return g_lastDrop.point;
}
