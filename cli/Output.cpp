#include "cli/Output.h"

#include <algorithm>
#include <cstring>

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

bool ElementText(const AEDesc& element, std::string* bytes, bool* rawBytes) {
    *rawBytes = false;
    bytes->clear();
    const auto* data = static_cast<const unsigned char*>(AEGetDescDataPtr(&element));
    const auto size = static_cast<std::size_t>(AEGetDescDataSize(&element));
    if (data == nullptr && size != 0) return false;
    switch (element.descriptorType) {
        case typeChar: {
            // Most paths are ASCII, which is the same in both encodings.
            std::size_t ascii = 0;
            while (ascii < size && data[ascii] < 0x80) ++ascii;
            if (ascii == size)
                bytes->assign(reinterpret_cast<const char*>(data), size);
            else
                *bytes = MacRomanToUtf8(data, size);
            return true;
        }
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

long PrintResults(const AEDescList& list, OSType resultType, OutputFormat format, std::FILE* out) {
    long count = 0;
    if (AECountItems(&list, &count) != noErr) return 0;
    const std::string kind = KindName(resultType);
    std::string line;
    std::string text;
    for (long i = 1; i <= count; ++i) {
        AEKeyword keyword;
        AEDesc element;
        AEInitializeDesc(&element);
        if (AEGetNthDesc(&list, i, typeWildCard, &keyword, &element) != noErr) continue;
        const auto* data = static_cast<const unsigned char*>(AEGetDescDataPtr(&element));
        const auto size = static_cast<std::size_t>(AEGetDescDataSize(&element));
        if (format != OutputFormat::kJson && element.descriptorType == typeChar &&
            std::all_of(data, data + size, [](unsigned char c) { return c < 0x80; })) {
            // ASCII text, the common case: written as it is.
            std::fwrite(data, 1, size, out);
            std::fputc(format == OutputFormat::kNul ? '\0' : '\n', out);
            AEDisposeDesc(&element);
            continue;
        }
        bool raw = false;
        const bool isText = ElementText(element, &text, &raw);
        line.clear();
        if (format == OutputFormat::kJson) {
            line = "{\"kind\":";
            AppendJsonString(kind, &line);
            line += ",\"type\":";
            AppendJsonString(TypeCode(element.descriptorType), &line);
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
            line = isText ? text : Base64(data, size);
            line += format == OutputFormat::kNul ? '\0' : '\n';
        }
        std::fwrite(line.data(), 1, line.size(), out);
        AEDisposeDesc(&element);
    }
    return count;
}
