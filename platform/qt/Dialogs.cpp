#include "platform/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/EventLoop.h"
#include "platform/MacRoman.h"
#include "platform/qt/QtDisplay.h"

namespace {

struct DialogItem {
    Str255 text{};
    QLabel* label = nullptr;            // static text at the window display
    QAbstractButton* button = nullptr;  // a button at the window display
};

// The window display's dialog: item hits end a modal run with the item number;
// closing the window hits the default item 1.
class ItemDialog final : public QDialog {
  public:
    void reject() override { done(1); }
};

}  // namespace

struct OpaqueDialogRef {
    SInt16 resourceID = 0;
    std::map<DialogItemIndex, DialogItem> items;
    std::unique_ptr<ItemDialog> window;              // nullptr at the headless display
    std::map<DialogItemIndex, std::string> printed;  // headless: texts already written
};

struct OpaqueIBNibRef {};

namespace {

OpaqueIBNibRef applicationNib;
OpaqueDialogRef* frontDialog = nullptr;
QPointer<QMainWindow> menuBarWindow;

QLabel* AddLabel(OpaqueDialogRef* dialog, DialogItemIndex index, QLayout* layout,
                 const char* text) {
    auto* label = new QLabel(QString::fromUtf8(text));
    label->setObjectName(QStringLiteral("item%1").arg(index));
    layout->addWidget(label);
    DialogItem& item = dialog->items[index];
    item.label = label;
    const std::size_t length = std::min<std::size_t>(std::strlen(text), 255);
    item.text[0] = static_cast<unsigned char>(length);
    std::memcpy(item.text + 1, text, length);
    return label;
}

// Dialog 130: the About box. Item 1 is OK, item 10 the version line.
void BuildAboutWindow(OpaqueDialogRef* dialog) {
    auto window = std::make_unique<ItemDialog>();
    window->setWindowTitle(QStringLiteral("About Seekwright"));
    window->setObjectName(QStringLiteral("dialog130"));
    // Modal from the moment it is shown (ShowWindow comes before ModalDialog).
    window->setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(window.get());
    QLabel* name = AddLabel(dialog, 2, layout, "Seekwright");
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    name->setFont(bold);
    AddLabel(dialog, 3, layout, "A scriptable file finder.");
    AddLabel(dialog, 10, layout, "");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("item1"));
    ok->setDefault(true);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    dialog->items[1].button = ok;
    QObject::connect(ok, &QPushButton::clicked, window.get(), [w = window.get()] { w->done(1); });
    dialog->window = std::move(window);
}

// Standard output at the headless display: the About box is its text lines.
void PrintChangedItems(OpaqueDialogRef* dialog) {
    for (const auto& [index, item] : dialog->items) {
        if (item.text[0] == 0) continue;
        std::string line = MacRomanToUtf8(item.text + 1, item.text[0]);
        auto printed = dialog->printed.find(index);
        if (printed != dialog->printed.end() && printed->second == line) continue;
        dialog->printed[index] = line;
        std::fprintf(stdout, "%s\n", line.c_str());
    }
    std::fflush(stdout);
}

// The window that carries the menu bar: the application has no other, and a
// Linux menu bar needs one. Closing it is choosing Quit.
class MenuBarWindow final : public QMainWindow {
  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        HICommand quit{0, kHICommandQuit, {nullptr, 0}};
        ProcessHICommand(&quit);
    }
};

void SendCommand(UInt32 commandID) {
    HICommand command{0, commandID, {nullptr, 0}};
    ProcessHICommand(&command);
}

bool SameCFString(CFStringRef a, const char* ascii) {
    return a != nullptr && CFStringCompare(a, CFSTR(ascii), 0) == kCFCompareEqualTo;
}

}  // namespace

DialogRef GetNewDialog(SInt16 dialogID, void*, WindowRef) {
    if (dialogID != kAboutDialogID) return nullptr;  // the only dialog resource we carry
    auto* dialog = new OpaqueDialogRef;
    dialog->resourceID = dialogID;
    if (CurrentDisplay() == kDisplayWindow) {
        BuildAboutWindow(dialog);
    } else {
        dialog->items[2].text[0] = 0;  // items exist; only changed texts print
        dialog->items[10].text[0] = 0;
        dialog->items[1].text[0] = 0;
    }
    frontDialog = dialog;
    return dialog;
}

void DisposeDialog(DialogRef dialog) {
    if (dialog == nullptr) return;
    if (frontDialog == dialog) frontDialog = nullptr;
    delete dialog;
}

WindowRef GetDialogWindow(DialogRef dialog) {
    return reinterpret_cast<WindowRef>(dialog);
}

void ShowWindow(WindowRef window) {
    auto* dialog = reinterpret_cast<OpaqueDialogRef*>(window);
    if (dialog == nullptr) return;
    frontDialog = dialog;
    if (dialog->window) {
        dialog->window->show();
        dialog->window->raise();
        dialog->window->activateWindow();
    }
}

void GetDialogItem(DialogRef dialog, DialogItemIndex index, SInt16* itemType, Handle* itemHandle,
                   Rect* box) {
    if (itemType != nullptr) *itemType = 0;
    if (itemHandle != nullptr) *itemHandle = nullptr;
    if (box != nullptr) *box = Rect{0, 0, 0, 0};
    if (dialog == nullptr) return;
    auto found = dialog->items.find(index);
    if (found == dialog->items.end()) return;
    DialogItem& item = found->second;
    if (itemType != nullptr) *itemType = item.button != nullptr ? 4 : 8;  // button, static text
    if (itemHandle != nullptr) *itemHandle = reinterpret_cast<Handle>(&item);
    if (box != nullptr) {
        QWidget* widget = item.label != nullptr ? static_cast<QWidget*>(item.label) : item.button;
        if (widget != nullptr) {
            const QRect r = widget->geometry();
            *box = Rect{static_cast<SInt16>(r.top()), static_cast<SInt16>(r.left()),
                        static_cast<SInt16>(r.bottom() + 1), static_cast<SInt16>(r.right() + 1)};
        }
    }
}

void SetDialogItemText(Handle itemHandle, ConstStr255Param text) {
    if (itemHandle == nullptr || text == nullptr) return;
    auto* item = reinterpret_cast<DialogItem*>(itemHandle);
    std::memcpy(item->text, text, static_cast<std::size_t>(text[0]) + 1);
    const QString shown = swqt::FromPString(text);
    if (item->label != nullptr) item->label->setText(shown);
    if (item->button != nullptr) item->button->setText(shown);
}

void GetDialogItemText(Handle itemHandle, Str255 text) {
    if (text == nullptr) return;
    text[0] = 0;
    if (itemHandle == nullptr) return;
    auto* item = reinterpret_cast<DialogItem*>(itemHandle);
    std::memcpy(text, item->text, static_cast<std::size_t>(item->text[0]) + 1);
}

void DrawDialog(DialogRef dialog) {
    if (dialog == nullptr) return;
    if (dialog->window) {
        dialog->window->update();
    } else {
        PrintChangedItems(dialog);
    }
}

void ModalDialog(ModalFilterProcPtr, DialogItemIndex* itemHit) {
    DialogItemIndex hit = 1;
    if (frontDialog != nullptr && frontDialog->window) {
        hit = static_cast<DialogItemIndex>(frontDialog->window->exec());
        if (hit <= 0) hit = 1;
    }
    if (itemHit != nullptr) *itemHit = hit;
}

OSStatus CreateNibReferenceWithCFBundle(CFBundleRef bundle, CFStringRef nibName, IBNibRef* outNib) {
    if (outNib == nullptr) return paramErr;
    *outNib = nullptr;
    if (bundle == nullptr || CurrentDisplay() != kDisplayWindow) return nibNotFoundErr;
    if (!SameCFString(nibName, "Seekwright")) return nibNotFoundErr;
    *outNib = &applicationNib;
    return noErr;
}

OSStatus SetMenuBarFromNib(IBNibRef nib, CFStringRef name) {
    if (nib != &applicationNib || !SameCFString(name, "MenuBar")) return nibNotFoundErr;
    if (CurrentDisplay() != kDisplayWindow) return nibNotFoundErr;
    if (menuBarWindow == nullptr) {
        auto* window = new MenuBarWindow;
        window->setObjectName(QStringLiteral("MenuBar"));
        window->setWindowTitle(QStringLiteral("Seekwright"));
        auto* text = new QLabel(QStringLiteral("Seekwright is waiting for scripts."));
        text->setMargin(16);
        window->setCentralWidget(text);
        QMenu* menu = window->menuBar()->addMenu(QStringLiteral("&Seekwright"));
        QAction* about = menu->addAction(QStringLiteral("&About Seekwright"));
        about->setObjectName(QStringLiteral("abou"));
        QObject::connect(about, &QAction::triggered, [] { SendCommand(kHICommandAbout); });
        menu->addSeparator();
        QAction* quit = menu->addAction(QStringLiteral("&Quit Seekwright"));
        quit->setObjectName(QStringLiteral("quit"));
        quit->setShortcut(QKeySequence::Quit);
        QObject::connect(quit, &QAction::triggered, [] { SendCommand(kHICommandQuit); });
        menuBarWindow = window;
    }
    menuBarWindow->show();
    return noErr;
}

void DisposeNibReference(IBNibRef) {}

OSStatus RegisterAppearanceClient() {
    return noErr;
}
void InitCursor() {}
void SetQDGlobalsRandomSeed(SInt32 seed) {
    std::srand(static_cast<unsigned>(seed));
}

namespace swqt {
void CloseMenuBarWindow() {
    delete menuBarWindow.data();
}
}  // namespace swqt
