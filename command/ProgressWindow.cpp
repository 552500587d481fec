#include "command/ProgressWindow.h"

#include <cstring>
#include <string>

#include "platform/Events.h"
#include "platform/MacRoman.h"
#include "platform/term/Terminal.h"

namespace {

std::string Utf8Of(CFStringRef string) {
    if (string == nullptr) return {};
    std::string utf8;
    const UniChar* chars = CFStringGetCharactersPtr(string);
    const auto length = static_cast<std::size_t>(CFStringGetLength(string));
    std::u16string_view text(reinterpret_cast<const char16_t*>(chars), length);
    if (!Utf16ToUtf8(text, &utf8)) utf8.assign(1, '?');
    return utf8;
}

// Shortens `text` to `width` characters by replacing its middle with "…",
// so that both its beginning and its end stay visible. Counts code points.
std::string TruncateMiddle(const std::string& text, std::size_t width) {
    std::u16string wide;
    if (!Utf8ToUtf16(text, &wide) || wide.size() <= width || width < 3) return text;
    const std::size_t head = (width - 1) / 2;
    const std::size_t tail = width - 1 - head;
    std::u16string cut = wide.substr(0, head) + u"\u2026" + wide.substr(wide.size() - tail);
    std::string out;
    return Utf16ToUtf8(cut, &out) ? out : text;
}

// The headless display: a status line on standard error, only when that is a
// terminal, redrawn at most ten times a second so that a fast walk is not
// slowed by the terminal.
class TerminalStatus final : public ProgressDisplay {
  public:
    void Open() override {
        open_ = TermIsTerminal(TermStream::kError);
        criteriaShown_ = false;
        lastTicks_ = 0;
        drawnOnce_ = false;
    }
    void Update(CFStringRef folderPath, CFStringRef itemName, SInt32 filesScanned,
                SInt32 foldersScanned, SInt32 filesMatched, SInt32 foldersMatched,
                const char* criteria) override {
        if (!open_) return;
        if (!criteriaShown_ && criteria != nullptr) {
            TermWriteLine("Searching for: " +
                          MacRomanToUtf8(reinterpret_cast<const unsigned char*>(criteria),
                                         std::strlen(criteria)));
            criteriaShown_ = true;
        }
        const UInt32 now = TickCount();
        if (drawnOnce_ && now - lastTicks_ < 6) return;
        drawnOnce_ = true;
        lastTicks_ = now;
        std::string counts = "folders " + std::to_string(foldersScanned) + " (" +
                             std::to_string(foldersMatched) + " matched), files " +
                             std::to_string(filesScanned) + " (" + std::to_string(filesMatched) +
                             " matched)  ";
        const std::size_t columns = static_cast<std::size_t>(TermColumns());
        const std::size_t room = columns > counts.size() + 10 ? columns - counts.size() - 1 : 10;
        std::string where = Utf8Of(itemName) + " in " + Utf8Of(folderPath);
        TermWriteStatus(counts + TruncateMiddle(where, room));
    }
    void Close() override {
        if (open_) TermClearStatus();
        open_ = false;
    }

  private:
    bool open_ = false;
    bool criteriaShown_ = false;
    bool drawnOnce_ = false;
    UInt32 lastTicks_ = 0;
};

TerminalStatus terminalStatus;
ProgressDisplay* installed = nullptr;
bool windowOpen = false;

ProgressDisplay& Display() {
    return installed != nullptr ? *installed : terminalStatus;
}

}  // namespace

ProgressDisplay* SetProgressDisplay(ProgressDisplay* display) {
    ProgressDisplay* previous = installed;
    installed = display;
    return previous;
}

void OpenProgressWindow() {
    windowOpen = true;
    Display().Open();
}

void UpdateProgressWindow(CFStringRef folderPath, CFStringRef itemName, SInt32 filesScanned,
                          SInt32 foldersScanned, SInt32 filesMatched, SInt32 foldersMatched,
                          const char* criteria) {
    if (!windowOpen) return;
    Display().Update(folderPath, itemName, filesScanned, foldersScanned, filesMatched,
                     foldersMatched, criteria);
}

void CloseProgressWindow() {
    if (!windowOpen) return;
    windowOpen = false;
    Display().Close();
}
