// The open-file dialog: the test chooser, and the real dialog cancelled, accepted and
// refusing a name in a folder that does not exist; its Russian, where it opens and folders
// chosen in it.
#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>

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
    SetFileChooserForTesting([path](const std::string &) { return path; });
    EXPECT_EQ(ChooseFileToOpen("", "", "*.*|*.*", 0), path);
    SetFileChooserForTesting([](const std::string &) { return std::string(); });
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

// Every text of the dialog's buttons and labels, without their shortcut marks.
QStringList ShownTexts(QFileDialog *dialog) {
    QStringList texts;
    for (const QAbstractButton *button : dialog->findChildren<QAbstractButton *>())
        if (!button->text().isEmpty()) texts << button->text().remove(QLatin1Char('&'));
    for (const QLabel *label : dialog->findChildren<QLabel *>())
        if (!label->text().isEmpty()) texts << label->text().remove(QLatin1Char('&'));
    return texts;
}

// The player's texts are Russian whatever the session's language (the tests' is C): so are
// the dialog's.
TEST_F(FileDialogTest, ChooseFileToOpen_WhateverTheLocale_SpeaksRussian) {
    QStringList texts;
    WhenDialogOpen([&texts](QFileDialog *dialog) {
        texts = ShownTexts(dialog);
        dialog->reject();
    });
    ChooseFileToOpen("", "", "*.*|*.*", 0);
    EXPECT_TRUE(texts.contains(QStringLiteral("Открыть"))) << texts.join(" | ").toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Отмена"))) << texts.join(" | ").toStdString();
    EXPECT_FALSE(texts.contains(QStringLiteral("Cancel")));
    EXPECT_FALSE(texts.contains(QStringLiteral("Open")));
}

// Sets an environment variable for the test's length.
class ScopedVariable {
  public:
    ScopedVariable(const char *name, const QString &value) : name_(name) {
        if (const char *old = std::getenv(name)) old_ = old, had_ = true;
        setenv(name, value.toLocal8Bit().constData(), 1);
    }
    ~ScopedVariable() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char *name_;
    std::string old_;
    bool had_ = false;
};

QString OpenedFolder(const std::string &start) {
    QString shown;
    WhenDialogOpen([&shown](QFileDialog *dialog) {
        shown = dialog->directory().absolutePath();
        dialog->reject();
    });
    ChooseFileToOpen("", "", "*.*|*.*", 0, start);
    return shown;
}

// The player's folder when it exists, else the user's music folder (XDG_MUSIC_DIR), else home.
TEST_F(FileDialogTest, ChooseFileToOpen_StartsInGivenFolder_ElseMusic_ElseHome) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString home = root.path() + QStringLiteral("/home"),
                  music = root.path() + QStringLiteral("/Моя музыка"),
                  given = root.path() + QStringLiteral("/альбом");
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/.config")) && QDir().mkpath(given));
    QFile dirs(home + QStringLiteral("/.config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write(("XDG_MUSIC_DIR=\"" + music + "\"\n").toUtf8());
    dirs.close();
    ScopedVariable homeVariable("HOME", home);
    ScopedVariable configVariable("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));

    EXPECT_EQ(OpenedFolder(QFile::encodeName(given).toStdString()), given);
    EXPECT_EQ(OpenedFolder(""), home);  // the music folder does not exist yet
    ASSERT_TRUE(QDir().mkpath(music));
    EXPECT_EQ(OpenedFolder(""), music);
    EXPECT_EQ(OpenedFolder(QFile::encodeName(given + QStringLiteral("/нет")).toStdString()), music);
}

// "Открыть" on a selected folder chooses it; a name ending in "/" only goes into it.
TEST_F(FileDialogTest, ChooseFileToOpen_FolderSelected_IsChosen_NameWithSlash_GoesIntoIt) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString album = root.path() + QStringLiteral("/Альбом");
    ASSERT_TRUE(QDir().mkpath(album));
    QFile(root.path() + QStringLiteral("/a.mp3")).open(QIODevice::WriteOnly);

    QString wentInto;
    WhenDialogOpen([&wentInto, album](QFileDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("Альбом/"));
        static_cast<QDialog *>(dialog)->accept();
        wentInto = dialog->isVisible() ? dialog->directory().absolutePath() : QString();
        dialog->reject();
    });
    EXPECT_EQ(ChooseFileToOpen("", "", "*.*|*.*", 0, QFile::encodeName(root.path()).toStdString()),
              "");
    EXPECT_EQ(wentInto, album);

    WhenDialogOpen([](QFileDialog *dialog) {
        auto *view = dialog->findChild<QListView *>(QStringLiteral("listView"));
        // The folder's row, once the dialog's model has read the folder.
        auto *poll = new QTimer(dialog);
        QObject::connect(poll, &QTimer::timeout, dialog, [dialog, view, poll] {
            QModelIndex row;
            for (int i = 0; i < view->model()->rowCount(view->rootIndex()); ++i) {
                const QModelIndex at = view->model()->index(i, 0, view->rootIndex());
                if (at.data().toString() == QStringLiteral("Альбом")) row = at;
            }
            if (!row.isValid()) return;
            poll->stop();
            view->selectionModel()->select(
                row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Open)->click();
        });
        poll->start(5);
    });
    EXPECT_EQ(ChooseFileToOpen("", "", "*.*|*.*", 0, QFile::encodeName(root.path()).toStdString()),
              QFile::encodeName(album).toStdString());
}

}  // namespace
