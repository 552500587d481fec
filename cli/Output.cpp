#include "cli/Output.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "params/Terminology.h"
#include "platform/MacRoman.h"

namespace {

void AppendUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        *out += static_cast<char>(c);
    } else if (c < 0x800) {
        *out += static_cast<char>(0xC0 | (c >> 6));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out += static_cast<char>(0xE0 | (c >> 12));
        *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (c >> 18));
        *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    }
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

void AppendRomanAsUtf8(const unsigned char* data, std::size_t size, std::string* out) {
    static const RomanUtf8Table table;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        if (c < 0x80) {
            *out += static_cast<char>(c);
        } else {
            out->append(table.bytes[c - 0x80], table.lengths[c - 0x80]);
        }
    }
}

bool IsAscii(const unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] >= 0x80) return false;
    }
    return true;
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
        case typeUnicodeText: {
            const std::size_t units = size / 2;
            for (std::size_t i = 0; i < units; ++i) {
                char16_t unit;
                std::memcpy(&unit, data + 2 * i, 2);
                char32_t c = unit;
                if (unit >= kRawByteFirst && unit <= kRawByteLast) {
                    *bytes += static_cast<char>(unit - 0xF700);
                    *rawBytes = true;
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
                AppendUtf8(c, bytes);
            }
            return true;
        }
        default:
            return false;
    }
}

// Output gathered in large blocks: one write per block rather than per line.
class BlockWriter {
  public:
    explicit BlockWriter(std::FILE* out) : out_(out) { buffer_.reserve(kBlock + 4096); }
    ~BlockWriter() { Flush(); }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    std::string& buffer() { return buffer_; }
    void Done() {
        if (buffer_.size() >= kBlock) Flush();
    }
    void Flush() {
        if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
        buffer_.clear();
    }

  private:
    static constexpr std::size_t kBlock = 64 * 1024;
    std::FILE* out_;
    std::string buffer_;
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
    std::string& line = writer.buffer();
    std::string text;
    // Each element's bytes are copied into one buffer reused for all of them
    // (grown when an element is larger), not into a descriptor of its own.
    std::vector<unsigned char> element(4096);
    for (long i = 1; i <= count; ++i) {
        DescType type = typeNull;
        Size actual = 0;
        OSErr err = AEGetNthPtr(&list, i, typeWildCard, nullptr, &type, element.data(),
                                static_cast<Size>(element.size()), &actual);
        if (err == noErr && static_cast<std::size_t>(actual) > element.size()) {
            element.resize(static_cast<std::size_t>(actual));
            err = AEGetNthPtr(&list, i, typeWildCard, nullptr, &type, element.data(),
                              static_cast<Size>(element.size()), &actual);
        }
        if (err != noErr) continue;
        const unsigned char* data = element.data();
        const auto size = static_cast<std::size_t>(actual);
        if (format != OutputFormat::kJson && type == typeChar) {
            // Text, the common case: ASCII is written as it is.
            if (IsAscii(data, size))
                line.append(reinterpret_cast<const char*>(data), size);
            else
                AppendRomanAsUtf8(data, size, &line);
            line += separator;
            writer.Done();
            continue;
        }
        bool raw = false;
        const bool isText = BytesText(type, data, size, &text, &raw);
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
                line += "\"bytes\":\"" + Base64(data, size) + "\"";
            }
            line += "}}\n";
        } else {
            // Alias records and file specifications have no text: base64 of their bytes.
            line += isText ? text : Base64(data, size);
            line += separator;
        }
        writer.Done();
    }
    writer.Flush();
    return count;
}
