#include "platform/posix/Comment.h"

namespace sw::posix {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;

std::uint64_t BeN(const std::uint8_t* p, std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

std::optional<std::u16string> ParseBplistString(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderSize + 1 + kTrailerSize) return std::nullopt;
    if (std::string_view(reinterpret_cast<const char*>(bytes.data()), kHeaderSize) != "bplist00")
        return std::nullopt;
    const std::uint8_t* t = bytes.data() + bytes.size() - kTrailerSize;
    std::size_t offsetSize = t[6];
    std::size_t refSize = t[7];
    std::uint64_t numObjects = BeN(t + 8, 8);
    std::uint64_t top = BeN(t + 16, 8);
    std::uint64_t tableOffset = BeN(t + 24, 8);
    std::uint64_t trailerStart = bytes.size() - kTrailerSize;
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8) return std::nullopt;
    if (numObjects == 0 || top >= numObjects) return std::nullopt;
    if (tableOffset < kHeaderSize + 1 || tableOffset > trailerStart) return std::nullopt;
    if (numObjects > (trailerStart - tableOffset) / offsetSize) return std::nullopt;

    std::uint64_t obj = BeN(bytes.data() + tableOffset + top * offsetSize, offsetSize);
    // Objects live between the header and the offset table.
    if (obj < kHeaderSize || obj >= tableOffset) return std::nullopt;
    const std::uint8_t* p = bytes.data() + obj;
    std::uint64_t end = tableOffset;
    std::uint8_t marker = p[0];
    std::uint8_t kind = marker >> 4;
    if (kind != 0x5 && kind != 0x6 && kind != 0x7) return std::nullopt;
    std::uint64_t count = marker & 0x0F;
    std::uint64_t pos = obj + 1;
    if (count == 0x0F) {
        // Length as an integer object: 0x1k, then 2^k big-endian bytes.
        if (pos >= end) return std::nullopt;
        std::uint8_t im = bytes[pos];
        if ((im >> 4) != 0x1 || (im & 0x0F) > 3) return std::nullopt;
        std::size_t n = std::size_t{1} << (im & 0x0F);
        if (pos + 1 + n > end) return std::nullopt;
        count = BeN(bytes.data() + pos + 1, n);
        pos += 1 + n;
    }
    std::uint64_t unit = kind == 0x6 ? 2 : 1;
    if (count > (end - pos) / unit) return std::nullopt;
    const std::uint8_t* s = bytes.data() + pos;
    std::u16string out;
    if (kind == 0x5) {
        out.reserve(count);
        for (std::uint64_t i = 0; i < count; ++i) out.push_back(s[i]);
    } else if (kind == 0x6) {
        out.reserve(count);
        for (std::uint64_t i = 0; i < count; ++i)
            out.push_back(static_cast<char16_t>((s[2 * i] << 8) | s[2 * i + 1]));
    } else {
        out = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(s), count));
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        auto c = static_cast<std::uint8_t>(in[i]);
        std::size_t len = c < 0x80           ? 1
                          : (c >> 5) == 0x6  ? 2
                          : (c >> 4) == 0xE  ? 3
                          : (c >> 3) == 0x1E ? 4
                                             : 0;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = len != 0 && i + len <= in.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            auto cc = static_cast<std::uint8_t>(in[i + k]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        // Reject overlong forms, surrogates and values past U+10FFFF.
        static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

}  // namespace sw::posix
