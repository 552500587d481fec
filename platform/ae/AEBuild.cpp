// The build-string syntax: the parser behind AEBuildDesc/AEBuildAppleEvent
// and the printer behind AEPrintDescToText. The grammar is in
// docs/apple-events.md; the printer writes only what the parser reads back
// to the same descriptor.

#include <charconv>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "platform/AppleEvents.h"
#include "platform/MacRoman.h"
#include "platform/ae/AEInternal.h"

namespace {

using ArgSource = std::function<bool(const AEDesc** arg)>;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsAsciiLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One character of lenient UTF-8 at `p`: a byte that does not begin a
// well-formed sequence stands for its Mac OS Roman character.
char32_t DecodeChar(const char*& p, const char* end) {
    auto b0 = static_cast<unsigned char>(*p);
    std::size_t extra = b0 >= 0xC2 && b0 <= 0xDF   ? 1
                        : b0 >= 0xE0 && b0 <= 0xEF ? 2
                        : b0 >= 0xF0 && b0 <= 0xF4 ? 3
                                                   : 0;
    if (extra > 0 && static_cast<std::size_t>(end - p) > extra) {
        std::u16string units;
        if (Utf8ToUtf16(std::string_view(p, extra + 1), &units)) {
            p += extra + 1;
            if (units.size() == 2) {
                return 0x10000 + ((char32_t{units[0]} - 0xD800) << 10) + (units[1] - 0xDC00);
            }
            return units[0];
        }
    }
    ++p;
    return MacRomanToUnicode(b0);
}

constexpr char32_t kFlorin = 0x0192;  // ƒ, the Mac OS Roman byte 0xC4

class Parser {
  public:
    Parser(const char* text, std::size_t length, ArgSource args)
        : p_(text), end_(text + length), args_(std::move(args)) {}

    OSErr Document(AEDesc* out) {
        OSErr err = Value(0, out);
        if (err == noErr) {
            SkipSpace();
            if (p_ != end_) err = errAEBuildSyntaxError;
        }
        if (err != noErr) Drop(out);
        return err;
    }

    // Comma-separated entries, as inside an event's braces, up to the end.
    OSErr EventEntries(AEDesc* event) {
        SkipSpace();
        if (p_ == end_) return noErr;
        return Entries(0, event, true, false);
    }

  private:
    static void Drop(AEDesc* d) {
        ae::Release(d->dataHandle);
        *d = ae::NullDesc();
    }

    void SkipSpace() {
        while (p_ != end_ && IsSpace(*p_)) ++p_;
    }
    bool At(char c) const { return p_ != end_ && *p_ == c; }
    bool Eat(char c) {
        SkipSpace();
        if (!At(c)) return false;
        ++p_;
        return true;
    }

    bool AtBareCodeStart() const {
        if (p_ == end_) return false;
        const char* q = p_;
        char32_t c = DecodeChar(q, end_);
        return c < 0x80 ? (IsAsciiLetter(static_cast<unsigned char>(c)) || c == '_') : c == kFlorin;
    }
    bool AtCodeStart() const { return At('\'') || AtBareCodeStart(); }

    OSErr Code(OSType* code) {
        unsigned char bytes[4] = {' ', ' ', ' ', ' '};
        int n = 0;
        if (At('\'')) {
            ++p_;
            for (;;) {
                if (p_ == end_) return errAEBuildSyntaxError;
                if (*p_ == '\'') {
                    ++p_;
                    break;
                }
                unsigned char byte = 0;
                if (*p_ == '\\') {
                    if (end_ - p_ < 2) return errAEBuildSyntaxError;
                    char e = p_[1];
                    if (e == '\\' || e == '\'') {
                        byte = static_cast<unsigned char>(e);
                        p_ += 2;
                    } else if (e == 'x' && end_ - p_ >= 4 && HexValue(p_[2]) >= 0 &&
                               HexValue(p_[3]) >= 0) {
                        byte = static_cast<unsigned char>(HexValue(p_[2]) * 16 + HexValue(p_[3]));
                        p_ += 4;
                    } else {
                        return errAEBuildSyntaxError;
                    }
                } else if (!UnicodeToMacRoman(DecodeChar(p_, end_), &byte)) {
                    return errAEBuildSyntaxError;
                }
                if (n == 4) return errAEBuildSyntaxError;
                bytes[n++] = byte;
            }
        } else {
            while (p_ != end_) {
                const char* q = p_;
                char32_t c = DecodeChar(q, end_);
                bool ok = c < 0x80 ? (IsAsciiLetter(static_cast<unsigned char>(c)) ||
                                      IsDigit(static_cast<unsigned char>(c)) || c == '_')
                                   : c == kFlorin;
                if (!ok) break;
                if (n == 4) return errAEBuildSyntaxError;
                bytes[n++] = c == kFlorin ? 0xC4 : static_cast<unsigned char>(c);
                p_ = q;
            }
            if (n == 0) return errAEBuildSyntaxError;
        }
        *code = (OSType{bytes[0]} << 24) | (OSType{bytes[1]} << 16) | (OSType{bytes[2]} << 8) |
                bytes[3];
        return noErr;
    }

    // « », their Mac OS Roman bytes, or << >> as an ASCII fallback.
    int HexOpenLength() const {
        std::size_t left = static_cast<std::size_t>(end_ - p_);
        if (left >= 2 && std::memcmp(p_, "\xC2\xAB", 2) == 0) return 2;
        if (left >= 2 && std::memcmp(p_, "<<", 2) == 0) return 2;
        if (left >= 1 && static_cast<unsigned char>(*p_) == 0xC7) return 1;
        return 0;
    }
    int HexCloseLength() const {
        std::size_t left = static_cast<std::size_t>(end_ - p_);
        if (left >= 2 && std::memcmp(p_, "\xC2\xBB", 2) == 0) return 2;
        if (left >= 2 && std::memcmp(p_, ">>", 2) == 0) return 2;
        if (left >= 1 && static_cast<unsigned char>(*p_) == 0xC8) return 1;
        return 0;
    }

    OSErr Hex(std::string* bytes) {
        p_ += HexOpenLength();
        int high = -1;
        for (;;) {
            if (p_ == end_) return errAEBuildSyntaxError;
            if (int close = HexCloseLength()) {
                p_ += close;
                return high < 0 ? noErr : errAEBuildSyntaxError;
            }
            if (IsSpace(*p_)) {
                ++p_;
                continue;
            }
            int v = HexValue(static_cast<unsigned char>(*p_));
            if (v < 0) return errAEBuildSyntaxError;
            ++p_;
            if (high < 0) {
                high = v;
            } else {
                bytes->push_back(static_cast<char>(high * 16 + v));
                high = -1;
            }
        }
    }

    OSErr String(AEDesc* out) {
        ++p_;
        std::u16string text;
        for (;;) {
            if (p_ == end_) return errAEBuildSyntaxError;
            char c = *p_;
            if (c == '"') {
                ++p_;
                break;
            }
            if (c == '\\') {
                if (end_ - p_ < 2 || (p_[1] != '"' && p_[1] != '\\')) {
                    return errAEBuildSyntaxError;
                }
                text.push_back(static_cast<char16_t>(p_[1]));
                p_ += 2;
                continue;
            }
            char32_t u = DecodeChar(p_, end_);
            if (u >= 0x10000) {
                text.push_back(static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10)));
                text.push_back(static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF)));
            } else {
                text.push_back(static_cast<char16_t>(u));
            }
        }
        // Mac OS Roman when it holds the text exactly, else Unicode.
        std::string roman;
        if (ae::ExactRoman(text, &roman)) {
            *out = ae::MakeScalar(typeChar, roman.data(), roman.size());
        } else {
            *out = ae::MakeScalar(typeUnicodeText, text.data(), text.size() * sizeof(char16_t));
        }
        return noErr;
    }

    OSErr Number(AEDesc* out) {
        const char* start = p_;
        if (At('-')) ++p_;
        if (p_ == end_ || !IsDigit(static_cast<unsigned char>(*p_))) return errAEBuildSyntaxError;
        while (p_ != end_ && IsDigit(static_cast<unsigned char>(*p_))) ++p_;
        bool isFloat = false;
        if (At('.')) {
            isFloat = true;
            ++p_;
            if (p_ == end_ || !IsDigit(static_cast<unsigned char>(*p_))) {
                return errAEBuildSyntaxError;
            }
            while (p_ != end_ && IsDigit(static_cast<unsigned char>(*p_))) ++p_;
        }
        if (At('e') || At('E')) {
            isFloat = true;
            ++p_;
            if (At('+') || At('-')) ++p_;
            if (p_ == end_ || !IsDigit(static_cast<unsigned char>(*p_))) {
                return errAEBuildSyntaxError;
            }
            while (p_ != end_ && IsDigit(static_cast<unsigned char>(*p_))) ++p_;
        }
        if (isFloat) {
            double d = 0;
            auto r = std::from_chars(start, p_, d, std::chars_format::general);
            if (r.ec != std::errc() || r.ptr != p_) return errAEBuildSyntaxError;
            *out = ae::MakeScalar(typeIEEE64BitFloatingPoint, &d, sizeof d);
            return noErr;
        }
        SInt64 v = 0;
        auto r = std::from_chars(start, p_, v);
        if (r.ec != std::errc() || r.ptr != p_) return errAEBuildSyntaxError;
        if (v >= INT32_MIN && v <= INT32_MAX) {
            auto x = static_cast<SInt32>(v);
            *out = ae::MakeScalar(typeSInt32, &x, sizeof x);
        } else {
            *out = ae::MakeScalar(typeSInt64, &v, sizeof v);
        }
        return noErr;
    }

    OSErr List(int depth, AEDesc* out) {
        ++p_;
        *out = ae::MakeContainer(typeAEList, AEStorageKind::List);
        if (Eat(']')) return noErr;
        for (;;) {
            AEDesc item = ae::NullDesc();
            OSErr err = Value(depth + 1, &item);
            if (err != noErr) return err;
            ae::MutableContents(out->dataHandle).items.push_back({typeWildCard, item});
            if (Eat(']')) return noErr;
            if (!Eat(',')) return errAEBuildSyntaxError;
        }
    }

    // key:value entries up to the closing brace (or the end, for the top
    // level of AEBuildAppleEvent); `&key` entries are event attributes.
    OSErr Entries(int depth, AEDesc* target, bool isEvent, bool braced) {
        if (braced && Eat('}')) return noErr;
        for (;;) {
            SkipSpace();
            bool attribute = false;
            if (isEvent && At('&')) {
                attribute = true;
                ++p_;
                SkipSpace();
            }
            if (!AtCodeStart()) return errAEBuildSyntaxError;
            OSType key = 0;
            OSErr err = Code(&key);
            if (err != noErr) return err;
            if (!Eat(':')) return errAEBuildSyntaxError;
            AEDesc value = ae::NullDesc();
            err = Value(depth + 1, &value);
            if (err != noErr) return err;
            if (attribute) {
                err = AEPutAttributeDesc(target, key, &value);
                Drop(&value);
                if (err != noErr) return err;
            } else {
                ae::PutKeyAdopt(ae::MutableContents(target->dataHandle).items, key, &value);
            }
            if (braced && Eat('}')) return noErr;
            if (!braced) {
                SkipSpace();
                if (p_ == end_) return noErr;
            }
            if (!Eat(',')) return errAEBuildSyntaxError;
        }
    }

    // After a code: "(...)", "{...}", "\id{...}", or nothing (an enumerator).
    OSErr Typed(int depth, OSType code, AEDesc* out) {
        SkipSpace();
        if (At('(')) {
            ++p_;
            SkipSpace();
            if (At(')')) {
                ++p_;
                *out = AEDesc{code, nullptr};
                return noErr;
            }
            if (HexOpenLength() > 0) {
                std::string bytes;
                OSErr err = Hex(&bytes);
                if (err != noErr) return err;
                if (!Eat(')')) return errAEBuildSyntaxError;
                return AECreateDesc(code, bytes.data(), static_cast<Size>(bytes.size()), out);
            }
            AEDesc inner = ae::NullDesc();
            OSErr err = Value(depth + 1, &inner);
            if (err == noErr && !Eat(')')) err = errAEBuildSyntaxError;
            if (err == noErr) err = ae::Coerce(inner, code, out);
            Drop(&inner);
            return err;
        }
        if (At('{')) {
            if (code == typeAEList || code == typeAppleEvent || code == typeNull) {
                return errAEBuildSyntaxError;
            }
            ++p_;
            *out = ae::MakeContainer(code, AEStorageKind::Record);
            return Entries(depth, out, false, true);
        }
        if (At('\\')) {
            ++p_;
            SkipSpace();
            OSType id = 0;
            if (!AtCodeStart()) return errAEBuildSyntaxError;
            OSErr err = Code(&id);
            if (err != noErr) return err;
            if (!Eat('{')) return errAEBuildSyntaxError;
            *out = ae::MakeContainer(typeAppleEvent, AEStorageKind::Event);
            AEDesc v = ae::MakeScalar(typeType, &code, 4);
            ae::PutKeyAdopt(ae::MutableContents(out->dataHandle).attributes, keyEventClassAttr, &v);
            v = ae::MakeScalar(typeType, &id, 4);
            ae::PutKeyAdopt(ae::MutableContents(out->dataHandle).attributes, keyEventIDAttr, &v);
            return Entries(depth, out, true, true);
        }
        *out = ae::MakeScalar(typeEnumerated, &code, 4);
        return noErr;
    }

    OSErr Value(int depth, AEDesc* out) {
        *out = ae::NullDesc();
        if (depth > ae::kMaxDepth) return errAEBuildSyntaxError;
        SkipSpace();
        if (p_ == end_) return errAEBuildSyntaxError;
        OSErr err = noErr;
        char c = *p_;
        if (c == '@') {
            ++p_;
            const AEDesc* arg = nullptr;
            if (!args_ || !args_(&arg)) return errAEBuildSyntaxError;
            *out = arg != nullptr ? ae::Clone(*arg) : ae::NullDesc();
        } else if (c == '-' || IsDigit(static_cast<unsigned char>(c))) {
            err = Number(out);
        } else if (c == '"') {
            err = String(out);
        } else if (c == '[') {
            err = List(depth, out);
        } else if (c == '{') {
            ++p_;
            *out = ae::MakeContainer(typeAERecord, AEStorageKind::Record);
            err = Entries(depth, out, false, true);
        } else if (c == '(') {
            ++p_;
            err = Value(depth + 1, out);
            if (err == noErr && !Eat(')')) err = errAEBuildSyntaxError;
        } else if (AtCodeStart()) {
            OSType code = 0;
            err = Code(&code);
            if (err == noErr) err = Typed(depth, code, out);
        } else {
            err = errAEBuildSyntaxError;  // untyped hex data included
        }
        if (err != noErr) Drop(out);
        return err;
    }

    const char* p_;
    const char* end_;
    ArgSource args_;
};

// --- Printer -----------------------------------------------------------------

void AppendUtf8(std::string& out, char32_t u) {
    if (u < 0x80) {
        out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (u >> 6)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else if (u < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (u >> 12)));
        out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (u >> 18)));
        out.push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
}

void PrintCode(std::string& out, OSType code) {
    unsigned char b[4] = {static_cast<unsigned char>(code >> 24),
                          static_cast<unsigned char>(code >> 16),
                          static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code)};
    auto word = [](unsigned char c) {
        return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == 0xC4;
    };
    int n = 0;
    while (n < 4 && word(b[n])) ++n;
    bool bare = n > 0 && (IsAsciiLetter(b[0]) || b[0] == 0xC4);
    for (int k = n; k < 4; ++k) bare = bare && b[k] == ' ';
    if (!bare) out.push_back('\'');
    for (int k = 0; k < (bare ? n : 4); ++k) {
        unsigned char c = b[k];
        if (c == '\'' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20 || c == 0x7F) {
            static const char digits[] = "0123456789ABCDEF";
            out += "\\x";
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        } else {
            AppendUtf8(out, MacRomanToUnicode(c));
        }
    }
    if (!bare) out.push_back('\'');
}

void PrintHex(std::string& out, const std::vector<unsigned char>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    out += "\xC2\xAB";
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    out += "\xC2\xBB";
}

bool PrintQuoted(std::string& out, const std::u16string& text) {
    out.push_back('"');
    for (std::size_t k = 0; k < text.size(); ++k) {
        char32_t u = text[k];
        if (u == 0) return false;  // the text goes out as a C string
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < text.size() && text[k + 1] >= 0xDC00 &&
            text[k + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (text[k + 1] - 0xDC00);
            ++k;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            return false;
        }
        if (u == '"' || u == '\\') out.push_back('\\');
        AppendUtf8(out, u);
    }
    out.push_back('"');
    return true;
}

template <typename T>
T LoadAs(const std::vector<unsigned char>& bytes) {
    T v;
    std::memcpy(&v, bytes.data(), sizeof v);
    return v;
}

// A readable form of a scalar, or false to fall back to hex.
bool PrintScalarReadable(std::string& out, const AEDesc& desc) {
    const auto& bytes = desc.dataHandle->bytes;
    DescType t = desc.descriptorType;
    char buffer[64];
    auto number = [&](auto value) {
        auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, r.ptr);
    };
    auto wrapped = [&](const std::string& inner) {
        PrintCode(out, t);
        out += "(" + inner + ")";
        return true;
    };
    if (t == typeSInt32 && bytes.size() == 4) {
        out += number(LoadAs<SInt32>(bytes));
        return true;
    }
    if (t == typeSInt16 && bytes.size() == 2) return wrapped(number(LoadAs<SInt16>(bytes)));
    if (t == typeSInt64 && bytes.size() == 8) return wrapped(number(LoadAs<SInt64>(bytes)));
    if (t == typeUInt32 && bytes.size() == 4) return wrapped(number(LoadAs<UInt32>(bytes)));
    if (t == typeIEEE64BitFloatingPoint && bytes.size() == 8) {
        return wrapped(number(LoadAs<double>(bytes)));
    }
    if (t == typeIEEE32BitFloatingPoint && bytes.size() == 4) {
        return wrapped(number(LoadAs<float>(bytes)));
    }
    if (t == typeBoolean && bytes.size() == 1 && bytes[0] <= 1) {
        return wrapped(bytes[0] != 0 ? "1" : "0");
    }
    if (t == typeEnumerated && bytes.size() == 4) {
        PrintCode(out, LoadAs<UInt32>(bytes));
        return true;
    }
    if ((t == typeType || t == typeKeyword || t == typeProperty || t == typeApplSignature) &&
        bytes.size() == 4) {
        std::string inner;
        PrintCode(inner, LoadAs<UInt32>(bytes));
        return wrapped(inner);
    }
    std::u16string text;
    if (t == typeChar) {
        for (unsigned char c : bytes) text.push_back(MacRomanToUnicode(c));
        return PrintQuoted(out, text);
    }
    if ((t == typeUnicodeText || t == typeUTF8Text) && ae::DecodeText(desc, &text)) {
        std::string inner;
        return PrintQuoted(inner, text) && wrapped(inner);
    }
    return false;
}

void Print(std::string& out, const AEDesc& desc);

void PrintEntries(std::string& out, const std::vector<AEItem>& items, const char* prefix,
                  bool& first) {
    for (const AEItem& item : items) {
        if (!first) out += ", ";
        first = false;
        out += prefix;
        PrintCode(out, item.key);
        out.push_back(':');
        Print(out, item.desc);
    }
}

void PrintScalar(std::string& out, const AEDesc& desc) {
    std::string readable;
    if (PrintScalarReadable(readable, desc)) {
        // Keep the readable form only when it reads back to the same bytes
        // (a float's shortest text, a Unicode text's normalisation...).
        Parser parser(readable.data(), readable.size(), nullptr);
        AEDesc back = ae::NullDesc();
        bool same = parser.Document(&back) == noErr && back.descriptorType == desc.descriptorType &&
                    ae::IsKind(&back, AEStorageKind::Scalar) &&
                    back.dataHandle->bytes == desc.dataHandle->bytes;
        ae::Release(back.dataHandle);
        if (same) {
            out += readable;
            return;
        }
    }
    PrintCode(out, desc.descriptorType);
    out.push_back('(');
    PrintHex(out, desc.dataHandle->bytes);
    out.push_back(')');
}

void Print(std::string& out, const AEDesc& desc) {
    AEDataStorage s = desc.dataHandle;
    if (s == nullptr) {
        PrintCode(out, desc.descriptorType);
        out += "()";
        return;
    }
    bool first = true;
    switch (s->kind) {
        case AEStorageKind::Scalar:
            PrintScalar(out, desc);
            return;
        case AEStorageKind::List:
            out.push_back('[');
            for (const AEItem& item : s->contents->items) {
                if (!first) out += ", ";
                first = false;
                if (item.pooled) {
                    AEDesc value = ae::ItemValue(*s->contents, item);
                    Print(out, value);
                    ae::Release(value.dataHandle);
                } else {
                    Print(out, item.desc);
                }
            }
            out.push_back(']');
            return;
        case AEStorageKind::Record:
            if (desc.descriptorType != typeAERecord) PrintCode(out, desc.descriptorType);
            out.push_back('{');
            PrintEntries(out, s->contents->items, "", first);
            out.push_back('}');
            return;
        case AEStorageKind::Event: {
            // The first two attributes are always the class and the id.
            const auto& attributes = s->contents->attributes;
            PrintCode(out, LoadAs<UInt32>(attributes[0].desc.dataHandle->bytes));
            out.push_back('\\');
            PrintCode(out, LoadAs<UInt32>(attributes[1].desc.dataHandle->bytes));
            out.push_back('{');
            PrintEntries(out, s->contents->items, "", first);
            std::vector<AEItem> rest(attributes.begin() + 2, attributes.end());
            PrintEntries(out, rest, "&", first);
            out.push_back('}');
            return;
        }
    }
}

ArgSource VaArgs(va_list* args) {
    return [args](const AEDesc** arg) {
        *arg = va_arg(*args, const AEDesc*);
        return true;
    };
}

OSErr BuildEvent(AEEventClass eventClass, AEEventID eventID, DescType addressType,
                 const void* address, Size addressLength, AEReturnID returnID,
                 AETransactionID transactionID, AppleEvent* out, const char* format,
                 std::size_t length, ArgSource args) {
    AEDesc target = ae::NullDesc();
    OSErr err = AECreateDesc(addressType, address, addressLength, &target);
    if (err != noErr) return err;
    err = AECreateAppleEvent(eventClass, eventID, &target, returnID, transactionID, out);
    AEDisposeDesc(&target);
    if (err != noErr) return err;
    Parser parser(format, length, std::move(args));
    err = parser.EventEntries(out);
    if (err != noErr) AEDisposeDesc(out);
    return err;
}

}  // namespace

OSErr AEBuildDesc(AEDesc* out, const char* format, ...) {
    if (out == nullptr) return paramErr;
    *out = ae::NullDesc();
    if (format == nullptr) return paramErr;
    va_list args;
    va_start(args, format);
    Parser parser(format, std::strlen(format), VaArgs(&args));
    OSErr err = parser.Document(out);
    va_end(args);
    return err;
}

OSErr AEBuildDescWithArgs(AEDesc* out, const char* text, Size length, const AEDesc* const* args,
                          long argCount) {
    if (out == nullptr) return paramErr;
    *out = ae::NullDesc();
    if (length < 0 || (text == nullptr && length > 0) || argCount < 0) return paramErr;
    long next = 0;
    Parser parser(text, static_cast<std::size_t>(length), [&](const AEDesc** arg) {
        if (next >= argCount) return false;
        *arg = args[next++];
        return true;
    });
    return parser.Document(out);
}

OSErr AEBuildAppleEvent(AEEventClass eventClass, AEEventID eventID, DescType addressType,
                        const void* address, Size addressLength, AEReturnID returnID,
                        AETransactionID transactionID, AppleEvent* out, const char* format, ...) {
    if (out == nullptr) return paramErr;
    *out = ae::NullDesc();
    if (format == nullptr) return paramErr;
    va_list args;
    va_start(args, format);
    OSErr err = BuildEvent(eventClass, eventID, addressType, address, addressLength, returnID,
                           transactionID, out, format, std::strlen(format), VaArgs(&args));
    va_end(args);
    return err;
}

OSErr AEPrintDescToText(const AEDesc* desc, char** text) {
    if (text == nullptr) return paramErr;
    *text = nullptr;
    if (desc == nullptr) return paramErr;
    std::string out;
    Print(out, *desc);
    auto* copy = static_cast<char*>(std::malloc(out.size() + 1));
    if (copy == nullptr) return memFullErr;
    std::memcpy(copy, out.c_str(), out.size() + 1);
    *text = copy;
    return noErr;
}
