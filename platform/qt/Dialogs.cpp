#include "platform/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
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
#include "platform/Events.h"
#include "platform/MacRoman.h"
#include "platform/qt/QtDisplay.h"

namespace {

struct DialogItem {
    std::string text;                   // Mac OS Roman bytes
    QLabel* label = nullptr;            // static text at the window display
    QAbstractButton* button = nullptr;  // a button at the window display
};

// The window display's dialog: item hits end a modal run with the item number;
// closing the window hits the default item 1.
class ItemDialog : public QDialog {
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
    item.text = text;
    return label;
}

// Dialog 129: the progress window. Modeless; the user cannot close it, and
// Control-period or Escape stops the search.
class ProgressWindow final : public ItemDialog {
  protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
    void reject() override {}  // Escape is handled below, not as a close
    void keyPressEvent(QKeyEvent* event) override {
        const bool controlPeriod =
            event->key() == Qt::Key_Period && (event->modifiers() & Qt::ControlModifier) != 0;
        if (controlPeriod || event->key() == Qt::Key_Escape) {
            PostCommandPeriod();
            return;
        }
        ItemDialog::keyPressEvent(event);
    }
};

void BuildProgressWindow(OpaqueDialogRef* dialog) {
    auto window = std::make_unique<ProgressWindow>();
    window->setWindowTitle(QStringLiteral("Seekwright: Searching"));
    window->setObjectName(QStringLiteral("dialog129"));
    window->setMinimumWidth(460);
    auto* grid = new QGridLayout(window.get());
    struct Row {
        DialogItemIndex label;
        const char* text;
        DialogItemIndex value;
    };
    const Row rows[] = {
        {15, "Criteria:", 16},      {3, "Folder:", 4},           {5, "Item:", 6},
        {7, "Folders scanned:", 8}, {9, "Folders matched:", 10}, {11, "Files scanned:", 12},
        {13, "Files matched:", 14}};
    int line = 0;
    for (const Row& row : rows) {
        auto* labelLayout = new QVBoxLayout;
        QLabel* label = AddLabel(dialog, row.label, labelLayout, row.text);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        auto* valueLayout = new QVBoxLayout;
        QLabel* value = AddLabel(dialog, row.value, valueLayout, "");
        value->setTextFormat(Qt::PlainText);
        if (row.value == 16) {
            value->setWordWrap(true);
        } else {
            // Path and name arrive truncated to the item's width; never let
            // them widen the window.
            value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        }
        grid->addLayout(labelLayout, line, 0);
        grid->addLayout(valueLayout, line, 1);
        ++line;
    }
    grid->setColumnStretch(1, 1);
    dialog->window = std::move(window);
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
        if (item.text.empty()) continue;
        std::string line = MacRomanToUtf8(reinterpret_cast<const unsigned char*>(item.text.data()),
                                          item.text.size());
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
    if (dialogID != kAboutDialogID && dialogID != kProgressDialogID) return nullptr;
    // The progress window is a window or nothing: the headless display has
    // its own status line.
    if (dialogID == kProgressDialogID && CurrentDisplay() != kDisplayWindow) return nullptr;
    auto* dialog = new OpaqueDialogRef;
    dialog->resourceID = dialogID;
    if (dialogID == kProgressDialogID) {
        BuildProgressWindow(dialog);
    } else if (CurrentDisplay() == kDisplayWindow) {
        BuildAboutWindow(dialog);
    } else {
        // The items exist; only texts that are set print.
        dialog->items[1];
        dialog->items[2];
        dialog->items[10];
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

namespace {

void SetItemBytes(DialogItem* item, const char* bytes, std::size_t size) {
    item->text.assign(bytes, size);
    std::string utf8 = MacRomanToUtf8(reinterpret_cast<const unsigned char*>(bytes), size);
    QString shown = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    shown.replace(QChar('\r'), QChar('\n'));
    if (item->label != nullptr) item->label->setText(shown);
    if (item->button != nullptr) item->button->setText(shown);
}

}  // namespace

void SetDialogItemText(Handle itemHandle, ConstStr255Param text) {
    if (itemHandle == nullptr || text == nullptr) return;
    SetItemBytes(reinterpret_cast<DialogItem*>(itemHandle), reinterpret_cast<const char*>(text + 1),
                 text[0]);
}

void GetDialogItemText(Handle itemHandle, Str255 text) {
    if (text == nullptr) return;
    text[0] = 0;
    if (itemHandle == nullptr) return;
    const std::string& bytes = reinterpret_cast<DialogItem*>(itemHandle)->text;
    const std::size_t length = std::min<std::size_t>(bytes.size(), 255);
    text[0] = static_cast<unsigned char>(length);
    std::memcpy(text + 1, bytes.data(), length);
}

OSErr GetDialogItemAsControl(DialogRef dialog, SInt16 index, ControlRef* control) {
    if (control == nullptr) return paramErr;
    *control = nullptr;
    if (dialog == nullptr) return paramErr;
    auto found = dialog->items.find(index);
    if (found == dialog->items.end()) return errItemNotControl;
    *control = reinterpret_cast<ControlRef>(&found->second);
    return noErr;
}

OSErr SetControlData(ControlRef control, SInt16, OSType tagName, Size size, const void* data) {
    if (control == nullptr || size < 0 || (size > 0 && data == nullptr)) return paramErr;
    if (tagName != kControlStaticTextTextTag) return errItemNotControl;
    SetItemBytes(reinterpret_cast<DialogItem*>(control), static_cast<const char*>(data),
                 static_cast<std::size_t>(size));
    return noErr;
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

SInt16 TruncText(SInt16 width, Ptr text, SInt16* length, SInt16 truncWhere) {
    if (text == nullptr || length == nullptr || *length < 0) return paramErr;
    if (CurrentDisplay() != kDisplayWindow || width <= 0) return NotTruncated;
    const std::string utf8 = MacRomanToUtf8(reinterpret_cast<const unsigned char*>(text),
                                            static_cast<std::size_t>(*length));
    const QString full = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    const QFontMetrics metrics(QApplication::font());
    if (metrics.horizontalAdvance(full) <= width) return NotTruncated;
    const QString elided = metrics.elidedText(
        full, truncWhere == truncMiddle ? Qt::ElideMiddle : Qt::ElideRight, width);
    std::string roman;
    const std::u16string_view units(reinterpret_cast<const char16_t*>(elided.utf16()),
                                    static_cast<std::size_t>(elided.size()));
    // Every character came from Mac OS Roman, and the ellipsis is 0xC9.
    if (!Utf16ToMacRoman(units, &roman) || roman.size() > static_cast<std::size_t>(*length)) {
        return NotTruncated;
    }
    std::memcpy(text, roman.data(), roman.size());
    *length = static_cast<SInt16>(roman.size());
    return Truncated;
}

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
