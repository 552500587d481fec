// The window display: the menu bar, the About box (dialog 130) and
// StandardAlert as real Qt widgets. Runs on Qt's offscreen platform, or on a
// real display (xvfb-run); with SW_SCREENSHOT_DIR set it saves what it shows.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "app/Application.h"
#include "app/ProgressDialog.h"
#include "platform/EventLoop.h"
#include "platform/Events.h"
#include "text/Alerts.h"
#include "text/TextUtils.h"

namespace {

void SaveScreenshot(QWidget* widget, const char* name) {
    const char* dir = std::getenv("SW_SCREENSHOT_DIR");
    if (dir == nullptr || dir[0] == '\0') return;
    widget->adjustSize();
    const QString path = QString::fromUtf8(dir) + QLatin1Char('/') + QString::fromLatin1(name);
    EXPECT_TRUE(widget->grab().save(path)) << path.toStdString();
}

// Runs `inspect` on the modal window once it is up; it must close it. If
// nothing modal appears, the test fails rather than hangs.
void WhenModalAppears(std::function<void(QWidget*)> inspect) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, inspect] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr && ++*tries < 1000) return;
        timer->stop();
        timer->deleteLater();
        if (modal == nullptr) {
            ADD_FAILURE() << "no modal window appeared";
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (qobject_cast<QDialog*>(widget) != nullptr) widget->close();
            }
            return;
        }
        inspect(modal);
    });
    timer->start();
}

QMainWindow* MenuBarWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("MenuBar"))
            return qobject_cast<QMainWindow*>(widget);
    }
    return nullptr;
}

QAction* MenuAction(const char* name) {
    QMainWindow* window = MenuBarWindow();
    return window != nullptr ? window->findChild<QAction*>(QString::fromLatin1(name)) : nullptr;
}

class WindowDisplay : public ::testing::Test {
  protected:
    void TearDown() override { keepRunning = true; }
};

TEST_F(WindowDisplay, IsChosenAndCarriesTheMenuBar) {
    EXPECT_EQ(CurrentDisplay(), kDisplayWindow);
    QMainWindow* window = MenuBarWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    ASSERT_NE(MenuAction("abou"), nullptr);
    ASSERT_NE(MenuAction("quit"), nullptr);
    EXPECT_EQ(MenuAction("quit")->shortcut(), QKeySequence(QKeySequence::Quit));
}

TEST_F(WindowDisplay, QuitMenuItemSendsTheQuitCommand) {
    MenuAction("quit")->trigger();
    EXPECT_FALSE(keepRunning);
}

TEST_F(WindowDisplay, ClosingTheMenuBarWindowIsQuit) {
    MenuBarWindow()->close();
    EXPECT_FALSE(keepRunning);
    EXPECT_TRUE(MenuBarWindow()->isVisible());
}

TEST_F(WindowDisplay, AboutBoxShowsTheVersionInItem10UntilItem1) {
    QString versionText;
    bool sawOkButton = false;
    WhenModalAppears([&](QWidget* modal) {
        EXPECT_EQ(modal->objectName(), QStringLiteral("dialog130"));
        auto* item10 = modal->findChild<QLabel*>(QStringLiteral("item10"));
        auto* item1 = modal->findChild<QPushButton*>(QStringLiteral("item1"));
        if (item10 != nullptr) versionText = item10->text();
        sawOkButton = item1 != nullptr && item1->text() == QLatin1String("OK");
        SaveScreenshot(modal, "about-box.png");
        if (item1 != nullptr) item1->click();
    });
    MenuAction("abou")->trigger();  // returns once item 1 closed the box
    EXPECT_EQ(versionText.toStdString(), "Version " SW_PROJECT_VERSION);
    EXPECT_TRUE(sawOkButton);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(keepRunning);
}

TEST_F(WindowDisplay, AboutBoxReadsNotAvailableWithoutVersion) {
    Str255 saved;
    std::memcpy(saved, versionString, sizeof saved);
    CToPString("n/a", versionString);
    QString versionText;
    WhenModalAppears([&](QWidget* modal) {
        if (auto* item10 = modal->findChild<QLabel*>(QStringLiteral("item10"))) {
            versionText = item10->text();
        }
        // The close box (Escape) is the default item 1 too.
        modal->close();
    });
    ShowAboutBox();
    std::memcpy(versionString, saved, sizeof saved);
    EXPECT_EQ(versionText, QStringLiteral("Version n/a"));
}

TEST_F(WindowDisplay, AlertsAreModalBoxesWithOneOKButton) {
    struct Row {
        const char* name;
        AlertType type;
        QMessageBox::Icon icon;
        const char* text;
        const char* explanation;  // nullptr: none
        const char* screenshot;
    };
    const Row rows[] = {
        {"stop", kAlertStopAlert, QMessageBox::Critical,
         "Could not allocate storage for item list.",
         "SeekwrightHandler() -> AECreateList() error: -108", "stop-alert.png"},
        {"caution", kAlertCautionAlert, QMessageBox::Warning, "The search was aborted.",
         "Results may be incomplete.", nullptr},
        {"plain", kAlertPlainAlert, QMessageBox::NoIcon, "Search Results:", nullptr, nullptr},
        {"stop without explanation", kAlertStopAlert, QMessageBox::Critical,
         "This application is only supported on Mac OS X.", nullptr, nullptr},
    };
    for (const Row& row : rows) {
        Str255 text;
        Str255 explanation;
        CToPString(row.text, text);
        if (row.explanation != nullptr) CToPString(row.explanation, explanation);
        WhenModalAppears([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr) << row.name;
            EXPECT_EQ(box->text().toStdString(), row.text) << row.name;
            EXPECT_EQ(box->informativeText().toStdString(),
                      row.explanation != nullptr ? row.explanation : "")
                << row.name;
            EXPECT_EQ(box->icon(), row.icon) << row.name;
            ASSERT_EQ(box->buttons().size(), 1) << row.name;
            EXPECT_EQ(box->standardButton(box->buttons().at(0)), QMessageBox::Ok) << row.name;
            if (row.screenshot != nullptr) SaveScreenshot(box, row.screenshot);
            box->buttons().at(0)->click();
        });
        SInt16 hit = 0;
        EXPECT_EQ(StandardAlert(row.type, text, row.explanation != nullptr ? explanation : nullptr,
                                &alertParams, &hit),
                  noErr)
            << row.name;
        EXPECT_EQ(hit, kAlertStdAlertOKButton) << row.name;
    }
}

TEST_F(WindowDisplay, RomanTextIsShownAsUnicode) {
    // 0x8E is é and 0xF0 the Apple logo in Mac OS Roman; a return breaks the line.
    const unsigned char text[] = {10, 'c', 'a', 'f', 0x8E, ' ', 0xF0, '-', '.', '\r', 'x'};
    QString shown;
    WhenModalAppears([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box != nullptr) shown = box->text();
        if (box != nullptr) box->buttons().at(0)->click();
    });
    StandardAlert(kAlertStopAlert, text, nullptr, &alertParams, &alertItemHit);
    EXPECT_EQ(shown, QString::fromUtf8("caf\xC3\xA9 \xEF\xA3\xBF-.\nx"));
}

QLabel* ProgressItem(int item) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("dialog129")) {
            return widget->findChild<QLabel*>(QStringLiteral("item%1").arg(item));
        }
    }
    return nullptr;
}

CFStringRef Utf8String(const char* text) {
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

TEST_F(WindowDisplay, ProgressWindowShowsTheSearchAndChangesOnlyWhatChanged) {
    ProgressDialogDisplay display;
    ClearCommandPeriod();
    display.Open();
    ASSERT_NE(progressDialog, nullptr);
    QLabel* folder = ProgressItem(4);
    ASSERT_NE(folder, nullptr);
    QWidget* window = folder->window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());

    const std::string longPath =
        "/srv/share/projects/" + std::string(40, 'x') + "/deep/er/and/deeper/still/the-end";
    CFStringRef path = Utf8String(longPath.c_str());
    CFStringRef name = Utf8String("caf\xC3\xA9.txt");
    CFStringRef cyrillic = Utf8String("\xD0\x96uk.txt");
    display.Update(path, name, 0, 0, 0, 0, "name contains caf, with: files");
    // The first update writes everything, counts of 0 too.
    const QString shownPath = folder->text();
    EXPECT_TRUE(shownPath.contains(QChar(0x2026))) << shownPath.toStdString();
    EXPECT_TRUE(shownPath.startsWith(QLatin1String("/srv"))) << shownPath.toStdString();
    EXPECT_TRUE(shownPath.endsWith(QLatin1String("the-end"))) << shownPath.toStdString();
    EXPECT_LT(shownPath.size(), static_cast<qsizetype>(longPath.size()));
    EXPECT_EQ(ProgressItem(6)->text(), QString::fromUtf8("caf\xC3\xA9.txt"));
    for (int item : {8, 10, 12, 14}) EXPECT_EQ(ProgressItem(item)->text(), "0") << item;
    EXPECT_EQ(ProgressItem(16)->text(), QStringLiteral("name contains caf, with: files"));
    SaveScreenshot(window, "progress-window.png");

    // Unchanged texts are not written again (a mark left in item 4 stays);
    // the criteria go in once per window.
    folder->setText(QStringLiteral("mark"));
    display.Update(path, cyrillic, 7, 2, 1, 0, "other criteria");
    EXPECT_EQ(folder->text(), QStringLiteral("mark"));
    EXPECT_EQ(ProgressItem(6)->text(), QString()) << "no Mac OS Roman form: shown empty";
    EXPECT_EQ(ProgressItem(8)->text(), "2");
    EXPECT_EQ(ProgressItem(12)->text(), "7");
    EXPECT_EQ(ProgressItem(14)->text(), "1");
    EXPECT_EQ(ProgressItem(16)->text(), QStringLiteral("name contains caf, with: files"));

    // The user cannot close it; Escape is Command-period.
    window->close();
    EXPECT_TRUE(window->isVisible());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window, &escape);
    KeyMap keys;
    GetKeys(keys);
    EXPECT_TRUE(keys[kVirtualPeriodKey / 32] & (1u << (kVirtualPeriodKey % 32)));
    ClearCommandPeriod();

    display.Close();
    EXPECT_EQ(progressDialog, nullptr);
    display.Update(path, name, 1, 1, 1, 1, "x");  // no window: nothing happens
    EXPECT_EQ(ProgressItem(4), nullptr);
    CFRelease(path);
    CFRelease(name);
    CFRelease(cyrillic);
}

}  // namespace

int main(int argc, char** argv) {
    // Windows need a display: Qt's offscreen platform unless one is given.
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (InitDisplay(&argc, argv, false) != kDisplayWindow) {
        std::fprintf(stderr, "no window display\n");
        return 1;
    }
    if (!InitApplication()) return 1;
    const int result = RUN_ALL_TESTS();
    ShutdownDisplay();
    return result;
}
