// The open-file dialog: the test chooser, and the real dialog cancelled, accepted and
// refusing a name in a folder that does not exist.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "layer_test_support.h"

namespace {

int g_ticks = 0;
void CountTick() {
    ++g_ticks;
}

// Runs `act` on the dialog once it is open (checking every few milliseconds).
void WhenDialogOpen(std::function<void(QFileDialog *)> act) {
    auto *poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        act(dialog);
    });
    poll->start();
}

class FileDialogTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        ShowWindow(0);
        g_ticks = 0;
    }
};

TEST_F(FileDialogTest, TestChooser_Set_ReplacesTheDialogUntilCleared) {
    const std::string path = "/tmp/a b/\xcf\xe5\xf1\xed\xff";
    SetFileChooserForTesting([path] { return path; });
    EXPECT_EQ(ChooseFileToOpen("", "", "*.*|*.*", 0), path);
    SetFileChooserForTesting([] { return std::string(); });
    EXPECT_EQ(ChooseFileToOpen("", "", "*.*|*.*", 0), "");
    SetFileChooserForTesting({});
    WhenDialogOpen([](QFileDialog *dialog) { dialog->reject(); });
    EXPECT_EQ(ChooseFileToOpen("", "", "*.*|*.*", 0), "");
}

TEST_F(FileDialogTest, ChooseFileToOpen_Cancelled_ReturnsEmptyAndKeepsWorkingFolder) {
    const QString before = QDir::currentPath();
    QString title = "unset";
    QStringList filters;
    bool ownDialog = false;
    WhenDialogOpen([&](QFileDialog *dialog) {
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        ownDialog = dialog->testOption(QFileDialog::DontUseNativeDialog) &&
                    dialog->testOption(QFileDialog::HideNameFilterDetails) &&
                    dialog->fileMode() == QFileDialog::AnyFile &&
                    dialog->acceptMode() == QFileDialog::AcceptOpen;
        dialog->setDirectory(QDir::rootPath());
        dialog->reject();
    });
    EXPECT_EQ(ChooseFileToOpen("", "", "*.*|*.*", 0), "");
    EXPECT_EQ(title, "");
    EXPECT_EQ(filters, QStringList{"*.* (*)"});  // shown as "*.*", matching every name
    EXPECT_TRUE(ownDialog);
    EXPECT_EQ(QDir::currentPath(), before);
}

TEST_F(FileDialogTest, ChooseFileToOpen_NameWithoutDotInExistingFolder_ReturnsFullPath) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString deep = folder.path() + QLatin1Char('/') + QString(150, QLatin1Char('d')) +
                         QLatin1Char('/') + QString(150, QLatin1Char('e'));
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString chosen = deep + QStringLiteral("/песня без точки");
    WhenDialogOpen([chosen](QFileDialog *dialog) {
        dialog->selectFile(chosen);
        static_cast<QDialog *>(dialog)->accept();
    });
    const std::string path = ChooseFileToOpen("", "", "*.*|*.*", 0);
    EXPECT_EQ(path, QFile::encodeName(chosen).toStdString());
    EXPECT_GT(path.size(), 260u);
}

TEST_F(FileDialogTest, ChooseFileToOpen_Used_WritesNoSettingsFile) {
    const QString settings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/QtProject.conf");
    const bool existed = QFileInfo::exists(settings);
    bool readOnly = false;
    WhenDialogOpen([&readOnly](QFileDialog *dialog) {
        readOnly = dialog->testOption(QFileDialog::ReadOnly);
        dialog->setDirectory(QDir::tempPath());
        dialog->reject();
    });
    ChooseFileToOpen("", "", "*.*|*.*", 0);
    EXPECT_TRUE(readOnly);
    if (!existed) {
        EXPECT_FALSE(QFileInfo::exists(settings));
    }
}

TEST_F(FileDialogTest, ChooseFileToOpen_HandPointerSet_DialogShowsNormalPointer) {
    SetPointerShape(kHandPointer);
    bool hand = true;
    WhenDialogOpen([&hand](QFileDialog *dialog) {
        hand = QGuiApplication::overrideCursor() != nullptr;
        dialog->reject();
    });
    ChooseFileToOpen("", "", "*.*|*.*", 0);
    EXPECT_FALSE(hand);
}

TEST_F(FileDialogTest, ChooseFileToOpen_FolderMissing_StaysOpenUntilCancelled) {
    bool stayedOpen = false;
    WhenDialogOpen([&stayedOpen](QFileDialog *dialog) {
        dialog->selectFile(QStringLiteral("/no/such/folder/x.mp3"));
        static_cast<QDialog *>(dialog)->accept();
        stayedOpen = dialog->isVisible();
        dialog->reject();
    });
    EXPECT_EQ(ChooseFileToOpen("", "", "*.*|*.*", 0), "");
    EXPECT_TRUE(stayedOpen);
}

TEST_F(FileDialogTest, ChooseFileToOpen_WhileOpen_TimerKeepsFiring) {
    StartRepeatingTimer(NativeWindowHandle(0), 5, CountTick);
    WhenDialogOpen([](QFileDialog *dialog) {
        QTimer::singleShot(60, dialog, [dialog] { dialog->reject(); });
    });
    ChooseFileToOpen("", "", "*.*|*.*", 0);
    EXPECT_GE(g_ticks, 3);
}

// A Quit from the desktop while the dialog is open ends the wait at once.
TEST_F(FileDialogTest, CancelFileChooser_WhileOpen_ReturnsEmpty_WhenNoneIsOpen_DoesNothing) {
    CancelFileChooser();
    WhenDialogOpen([](QFileDialog *dialog) {
        dialog->selectFile(QStringLiteral("/tmp/picked.mp3"));
        QTimer::singleShot(30, [] { CancelFileChooser(); });
    });
    EXPECT_EQ(ChooseFileToOpen("", "", "*.*|*.*", 0), "");
    CancelFileChooser();
}

TEST_F(FileDialogTest, ChooseFileToOpen_OddFilters_GiveUsableFilters) {
    for (const char *filter : {"", "|", "Music|*.mp3;*.wav|All|*.*", "(x)|(*)|only"}) {
        QStringList filters;
        WhenDialogOpen([&filters](QFileDialog *dialog) {
            filters = dialog->nameFilters();
            dialog->reject();
        });
        EXPECT_EQ(ChooseFileToOpen("", "", filter, 7), "") << filter;
        EXPECT_FALSE(filters.isEmpty()) << filter;
    }
}

}  // namespace
