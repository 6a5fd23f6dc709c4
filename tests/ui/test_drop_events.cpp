// Drops on the layer's windows: one kDrop event each, holding the files and addresses that
// were dropped (bounded, as another program's data is untrusted) and where.
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "drop_events.h"
#include "layer_test_support.h"

namespace {

constexpr int kMain = 0;
constexpr int kList = 7;

using Locations = std::vector<std::string>;

// Delivers a drag's entry, a move and the drop at a point of the window, as Qt does for one
// that a file manager or a browser makes; true when the window took the drag.
bool DropAt(int window, QPoint at, QMimeData *data) {
    auto *widget = reinterpret_cast<QWidget *>(NativeWindowHandle(window));
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    if (!enter.isAccepted()) return false;
    QDragMoveEvent move(at, Qt::CopyAction | Qt::LinkAction, data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::LinkAction, data, Qt::NoButton,
                    Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    return drop.isAccepted();
}

// The drops waiting, each one's locations as it is returned.
std::vector<Locations> TakeDrops(std::vector<ScreenPoint> *points = nullptr) {
    std::vector<Locations> drops;
    for (int kind; (kind = PollNextEvent()) != kNoEvent;) {
        if (kind != kDrop) continue;
        EXPECT_EQ(LastEventWindow(), kMain);
        drops.push_back(LastEventDropLocations());
        if (points) points->push_back(LastEventDropPoint());
    }
    return drops;
}

class DropEventsTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        ShowWindow(kMain, 200, 100);
        CreateListControl(kList, 100, 10, 90, 80);
        TakeAllEvents();
    }
};

TEST_F(DropEventsTest, UriList_FilesAsPathsAddressesAsWritten_OtherSchemesLeftOut) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromUtf8("/музыка/a b.mp3")),
                  QUrl(QStringLiteral("https://radio.example/live?x=1")),
                  QUrl(QStringLiteral("ftp://x.example/a")),
                  QUrl::fromLocalFile(QStringLiteral("/list.m3u"))});
    std::vector<ScreenPoint> points;
    ASSERT_TRUE(DropAt(kMain, QPoint(20, 30), &data));
    EXPECT_EQ(TakeDrops(&points),
              (std::vector<Locations>{
                  {"/музыка/a b.mp3", "https://radio.example/live?x=1", "/list.m3u"}}));
    const QPoint corner =
        reinterpret_cast<QWidget *>(NativeWindowHandle(kMain))->mapToGlobal(QPoint(20, 30));
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].x, corner.x());
    EXPECT_EQ(points[0].y, corner.y());
}

TEST_F(DropEventsTest, PlainText_ItsWebAddressLines) {
    QMimeData data;
    data.setText(
        QStringLiteral("  http://a.example/s \nnot an address\nHTTPS://b/\nhttp://c d/\n"));
    ASSERT_TRUE(DropAt(kMain, QPoint(150, 40), &data));  // over the list: the window takes it
    EXPECT_EQ(TakeDrops(), (std::vector<Locations>{{"http://a.example/s", "HTTPS://b/"}}));
}

TEST_F(DropEventsTest, NothingUsable_DragRefusedOrDropEmpty) {
    QMimeData image;
    image.setImageData(QImage(2, 2, QImage::Format_RGB32));
    EXPECT_FALSE(DropAt(kMain, QPoint(20, 30), &image));
    QMimeData text;
    text.setText(QStringLiteral("just words"));
    ASSERT_TRUE(DropAt(kMain, QPoint(20, 30), &text));
    EXPECT_EQ(TakeDrops(), (std::vector<Locations>{{}}));
}

TEST_F(DropEventsTest, HugeDrop_Bounded) {
    QList<QUrl> urls;
    for (int i = 0; i < 3000; ++i)
        urls.push_back(QUrl(QStringLiteral("http://s.example/%1").arg(i)));
    urls.insert(0, QUrl(QStringLiteral("http://long.example/") + QString(10000, QLatin1Char('a'))));
    QMimeData data;
    data.setUrls(urls);
    ASSERT_TRUE(DropAt(kMain, QPoint(20, 30), &data));
    const std::vector<Locations> drops = TakeDrops();
    ASSERT_EQ(drops.size(), 1u);
    ASSERT_EQ(drops[0].size(), kMaxDroppedLocations);
    EXPECT_EQ(drops[0][0], "http://s.example/0");  // the one too long is left out
}

}  // namespace
