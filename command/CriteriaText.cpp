#include <cstring>

#include "command/SeekwrightHandler.h"
#include "params/SearchParameters.h"

namespace {

// Appends up to what still fits, keeping room for the terminator.
class BoundedText {
  public:
    BoundedText(char* text, std::size_t capacity) : text_(text), capacity_(capacity) {
        if (capacity_ > 0) text_[0] = '\0';
    }
    void Append(const unsigned char* bytes, std::size_t count) {
        if (capacity_ == 0) return;
        const std::size_t room = capacity_ - 1 - length_;
        if (count > room) count = room;
        std::memcpy(text_ + length_, bytes, count);
        length_ += count;
        text_[length_] = '\0';
    }
    void Append(const char* zeroTerminated) {
        Append(reinterpret_cast<const unsigned char*>(zeroTerminated), std::strlen(zeroTerminated));
    }
    // A summary line as zero-terminated text: it ends at its first zero byte.
    void AppendLine(ConstStr255Param line) {
        const unsigned char* bytes = line + 1;
        const void* zero = std::memchr(bytes, 0, line[0]);
        const std::size_t count =
            zero != nullptr ? static_cast<const unsigned char*>(zero) - bytes : line[0];
        Append(bytes, count);
    }

  private:
    char* text_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

}  // namespace

void BuildCriteriaText(char* text, std::size_t capacity) {
    const SearchParametersRecord& p = SearchParameters;
    BoundedText out(text, capacity);
    const unsigned char* const lines[] = {
        p.nameText,       p.creatorText,     p.fileTypeText,     p.sizeText,     p.kindText,
        p.labelText,      p.dateCreatedText, p.dateModifiedText, p.commentAText, p.commentBText,
        p.maxMatchesText, p.versionText,     p.resultTypeText,
    };
    for (const unsigned char* line : lines) {
        if (line[0] == 0) continue;
        out.AppendLine(line);
        out.Append(", ");
    }
    if (p.withText[0] != 0) {
        out.Append("with:");
        out.AppendLine(p.withText);
    }
    if (p.withoutText[0] != 0) {
        out.Append(", ");
        out.Append("without:");
        out.AppendLine(p.withoutText);
    }
}
