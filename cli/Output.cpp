#include "cli/Output.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "params/Terminology.h"
#include "platform/MacRoman.h"

namespace {

// Writes the UTF-8 of `c` at `out` (room for 4 bytes) and returns the end.
char* PutUtf8(char32_t c, char* out) {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The file layer shows each byte of a name that is not UTF-8 as U+F700 + byte.
constexpr char16_t kRawByteFirst = 0xF780;
constexpr char16_t kRawByteLast = 0xF7FF;

std::string TypeCode(DescType type) {
    std::string code;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned char c = static_cast<unsigned char>(type >> shift);
        code += MacRomanToUtf8(&c, 1);
    }
    return code;
}

void AppendJsonString(const std::string& utf8, std::string* out) {
    *out += '"';
    for (unsigned char c : utf8) {
        switch (c) {
            case '"':
                *out += "\\\"";
                break;
            case '\\':
                *out += "\\\\";
                break;
            case '\n':
                *out += "\\n";
                break;
            case '\r':
                *out += "\\r";
                break;
            case '\t':
                *out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    *out += escaped;
                } else {
                    *out += static_cast<char>(c);
                }
        }
    }
    *out += '"';
}

std::string KindName(OSType resultType) {
    if (const EnumeratorTerm* term = EnumeratorByCode(ResultFormTerms(), resultType))
        return term->name;
    return TypeCode(resultType);
}

}  // namespace

std::string Base64(const unsigned char* data, std::size_t size) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (std::size_t i = 0; i < size; i += 3) {
        const unsigned v = (data[i] << 16) | (i + 1 < size ? data[i + 1] << 8 : 0) |
                           (i + 2 < size ? data[i + 2] : 0);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < size ? kDigits[(v >> 6) & 63] : '=';
        out += i + 2 < size ? kDigits[v & 63] : '=';
    }
    return out;
}

namespace {

// UTF-8 of the Mac OS Roman bytes 0x80-0xFF (at most three bytes each),
// made once, so that converting a path is a table look-up per byte.
struct RomanUtf8Table {
    char bytes[128][3];
    unsigned char lengths[128];

    RomanUtf8Table() {
        for (int i = 0; i < 128; ++i) {
            const auto byte = static_cast<unsigned char>(0x80 + i);
            const std::string utf8 = MacRomanToUtf8(&byte, 1);
            lengths[i] = static_cast<unsigned char>(std::min<std::size_t>(utf8.size(), 3));
            std::memcpy(bytes[i], utf8.data(), lengths[i]);
        }
    }
};

// Appends the UTF-8 of Mac OS Roman text.
void AppendRomanAsUtf8(const unsigned char* data, std::size_t size, std::string* out) {
    static const RomanUtf8Table table;
    const std::size_t start = out->size();
    out->resize(start + 3 * size);
    char* p = out->data() + start;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        if (c < 0x80) {
            *p++ = static_cast<char>(c);
        } else {
            const unsigned char n = table.lengths[c - 0x80];
            std::memcpy(p, table.bytes[c - 0x80], 3);
            p += n;
        }
    }
    out->resize(static_cast<std::size_t>(p - out->data()));
}

// Eight bytes at a time: paths are long and almost always ASCII.
bool IsAscii(const unsigned char* data, std::size_t size) {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + i, 8);
        if (word & 0x8080808080808080u) return false;
    }
    for (; i < size; ++i) {
        if (data[i] >= 0x80) return false;
    }
    return true;
}

// Appends the UTF-8 of host-order UTF-16, the raw-byte characters as their bytes.
bool AppendUnicodeAsUtf8(const unsigned char* data, std::size_t size, std::string* out) {
    const std::size_t units = size / 2;
    const std::size_t start = out->size();
    out->resize(start + 3 * units);  // a pair of units takes at most 4 bytes
    char* p = out->data() + start;
    bool raw = false;
    for (std::size_t i = 0; i < units; ++i) {
        char16_t unit;
        std::memcpy(&unit, data + 2 * i, 2);
        char32_t c = unit;
        if (unit < 0x80) {
            *p++ = static_cast<char>(unit);
            continue;
        }
        if (unit >= kRawByteFirst && unit <= kRawByteLast) {
            *p++ = static_cast<char>(unit - 0xF700);
            raw = true;
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            char16_t low;
            std::memcpy(&low, data + 2 * (i + 1), 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // an unpaired surrogate
        p = PutUtf8(c, p);
    }
    out->resize(static_cast<std::size_t>(p - out->data()));
    return raw;
}

// ElementText on an element's type and bytes.
bool BytesText(DescType type, const unsigned char* data, std::size_t size, std::string* bytes,
               bool* rawBytes) {
    *rawBytes = false;
    bytes->clear();
    if (data == nullptr && size != 0) return false;
    switch (type) {
        case typeChar:
            // Most paths are ASCII, which is the same in both encodings.
            if (IsAscii(data, size))
                bytes->assign(reinterpret_cast<const char*>(data), size);
            else
                AppendRomanAsUtf8(data, size, bytes);
            return true;
        case typeUTF8Text:
            bytes->assign(reinterpret_cast<const char*>(data), size);
            return true;
        case typeUnicodeText:
            *rawBytes = AppendUnicodeAsUtf8(data, size, bytes);
            return true;
        default:
            return false;
    }
}

// Output gathered in large blocks: one write per block rather than per line.
class BlockWriter {
  public:
    static constexpr std::size_t kRoom = 4096;

    explicit BlockWriter(std::FILE* out) : out_(out), data_(new char[kCapacity]) {}
    ~BlockWriter() { Flush(); }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // kRoom bytes to write into; Keep(n) then keeps the first n of them.
    char* Room() {
        if (used_ + kRoom > kCapacity) Flush();
        return data_.get() + used_;
    }
    void Keep(std::size_t n) { used_ += std::min(n, kRoom); }
    void Append(std::string_view bytes) {
        if (used_ + bytes.size() > kCapacity) Flush();
        if (bytes.size() > kCapacity) {
            std::fwrite(bytes.data(), 1, bytes.size(), out_);
            return;
        }
        std::memcpy(data_.get() + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
    }
    void Flush() {
        if (used_ > 0) std::fwrite(data_.get(), 1, used_, out_);
        used_ = 0;
    }

  private:
    static constexpr std::size_t kCapacity = 64 * 1024 + kRoom;
    std::FILE* out_;
    std::unique_ptr<char[]> data_;
    std::size_t used_ = 0;
};

}  // namespace

bool ElementText(const AEDesc& element, std::string* bytes, bool* rawBytes) {
    const auto* data = static_cast<const unsigned char*>(AEGetDescDataPtr(&element));
    const auto size = static_cast<std::size_t>(AEGetDescDataSize(&element));
    return BytesText(element.descriptorType, data, size, bytes, rawBytes);
}

long PrintResults(const AEDescList& list, OSType resultType, OutputFormat format, std::FILE* out) {
    long count = 0;
    if (AECountItems(&list, &count) != noErr) return 0;
    const std::string kind = KindName(resultType);
    const char separator = format == OutputFormat::kNul ? '\0' : '\n';
    BlockWriter writer(out);
    std::string line;
    std::string text;
    // An element is copied straight to the end of the output when it fits
    // there (text lines, the common case, are then written as they are), else
    // into a buffer reused for all elements; never into a descriptor of its own.
    std::vector<unsigned char> element;
    for (long i = 1; i <= count; ++i) {
        DescType type = typeNull;
        Size actual = 0;
        char* room = writer.Room();
        OSErr err = AEGetNthPtr(&list, i, typeWildCard, nullptr, &type, room,
                                static_cast<Size>(BlockWriter::kRoom), &actual);
        if (err != noErr) continue;
        const auto size = static_cast<std::size_t>(actual);
        if (format != OutputFormat::kJson && type == typeChar && size < BlockWriter::kRoom &&
            IsAscii(reinterpret_cast<const unsigned char*>(room), size)) {
            room[size] = separator;
            writer.Keep(size + 1);
            continue;
        }
        if (size <= BlockWriter::kRoom) {
            element.assign(room, room + size);
        } else {
            element.resize(size);
            err = AEGetNthPtr(&list, i, typeWildCard, nullptr, &type, element.data(),
                              static_cast<Size>(element.size()), &actual);
            if (err != noErr) continue;
            element.resize(std::min(element.size(), static_cast<std::size_t>(actual)));
        }
        const unsigned char* data = element.data();
        line.clear();
        if (format != OutputFormat::kJson && type == typeChar) {
            AppendRomanAsUtf8(data, element.size(), &line);
            line += separator;
            writer.Append(line);
            continue;
        }
        bool raw = false;
        const bool isText = BytesText(type, data, element.size(), &text, &raw);
        if (format == OutputFormat::kJson) {
            line += "{\"kind\":";
            AppendJsonString(kind, &line);
            line += ",\"type\":";
            AppendJsonString(TypeCode(type), &line);
            line += ",\"value\":{";
            if (isText && !raw) {
                line += "\"text\":";
                AppendJsonString(text, &line);
            } else if (isText) {
                line += "\"bytes\":\"" +
                        Base64(reinterpret_cast<const unsigned char*>(text.data()), text.size()) +
                        "\"";
            } else {
                line += "\"bytes\":\"" + Base64(data, element.size()) + "\"";
            }
            line += "}}\n";
        } else {
            // Alias records and file specifications have no text: base64 of their bytes.
            line += isText ? text : Base64(data, element.size());
            line += separator;
        }
        writer.Append(line);
    }
    writer.Flush();
    return count;
}
