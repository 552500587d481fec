// The built-in coercions (the table is in docs/apple-events.md) and the
// registry through which other layers add their own.

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/AppleEvents.h"
#include "platform/MacRoman.h"
#include "platform/ae/AEInternal.h"

namespace {

std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}

std::map<std::pair<DescType, DescType>, AECoercionProc>& Registry() {
    static std::map<std::pair<DescType, DescType>, AECoercionProc> handlers;
    return handlers;
}

AECoercionProc FindHandler(DescType from, DescType to) {
    std::lock_guard<std::mutex> guard(RegistryLock());
    auto it = Registry().find({from, to});
    return it == Registry().end() ? nullptr : it->second;
}

constexpr DescType typePString = FourCC("pstr");
constexpr DescType typeCString = FourCC("cstr");
constexpr DescType keyText = FourCC("ktxt");
constexpr DescType enumYes = FourCC("yes ");
constexpr DescType enumNo = FourCC("no  ");

bool IsIntegerType(DescType t) {
    return t == typeSInt16 || t == typeSInt32 || t == typeSInt64 || t == typeUInt32;
}
bool IsFloatType(DescType t) {
    return t == typeIEEE64BitFloatingPoint || t == typeIEEE32BitFloatingPoint;
}
bool IsNumberType(DescType t) {
    return IsIntegerType(t) || IsFloatType(t);
}
bool IsCodeType(DescType t) {
    return t == typeEnumerated || t == typeType || t == typeKeyword || t == typeProperty ||
           t == typeApplSignature;
}
bool IsTextTarget(DescType t) {
    return t == typeChar || t == typeUnicodeText || t == typeUTF8Text || t == typePString;
}
// Types whose data has a fixed meaning here; a record is never retyped to one.
bool IsBuiltInScalarType(DescType t) {
    return IsNumberType(t) || IsCodeType(t) || IsTextTarget(t) || t == typeBoolean ||
           t == typeTrue || t == typeFalse || t == typeLongDateTime || t == typeFSRef ||
           t == typeFSS || t == typeAlias || t == typeIntlText || t == typeCString ||
           t == typeNull || t == typeAEList || t == typeAppleEvent;
}

std::size_t NumberSize(DescType t) {
    if (t == typeSInt16) return 2;
    if (t == typeSInt64 || t == typeIEEE64BitFloatingPoint) return 8;
    return 4;
}

struct Number {
    bool isFloat = false;
    SInt64 i = 0;
    double d = 0;
};

const std::vector<unsigned char>* ScalarBytes(const AEDesc& desc) {
    if (!ae::IsKind(&desc, AEStorageKind::Scalar)) return nullptr;
    return &desc.dataHandle->bytes;
}

template <typename T>
T Load(const std::vector<unsigned char>& bytes) {
    T value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

bool ReadNumber(const AEDesc& desc, Number* n) {
    const auto* bytes = ScalarBytes(desc);
    DescType t = desc.descriptorType;
    if (bytes == nullptr || !IsNumberType(t) || bytes->size() != NumberSize(t)) return false;
    if (t == typeSInt16) {
        n->i = Load<SInt16>(*bytes);
    } else if (t == typeSInt32) {
        n->i = Load<SInt32>(*bytes);
    } else if (t == typeSInt64) {
        n->i = Load<SInt64>(*bytes);
    } else if (t == typeUInt32) {
        n->i = Load<UInt32>(*bytes);
    } else if (t == typeIEEE64BitFloatingPoint) {
        n->isFloat = true;
        n->d = Load<double>(*bytes);
    } else {
        n->isFloat = true;
        n->d = Load<float>(*bytes);
    }
    return true;
}

// The integer a number stands for exactly, if any.
bool ExactInteger(const Number& n, SInt64* out) {
    if (!n.isFloat) {
        *out = n.i;
        return true;
    }
    if (!std::isfinite(n.d) || n.d != std::trunc(n.d)) return false;
    if (n.d < -9223372036854775808.0 || n.d >= 9223372036854775808.0) return false;
    *out = static_cast<SInt64>(n.d);
    return true;
}

OSErr WriteNumber(const Number& n, DescType to, AEDesc* out) {
    if (IsIntegerType(to)) {
        SInt64 v = 0;
        if (!ExactInteger(n, &v)) return errAECoercionFail;
        if (to == typeSInt16) {
            if (v < INT16_MIN || v > INT16_MAX) return errAECoercionFail;
            auto x = static_cast<SInt16>(v);
            *out = ae::MakeScalar(to, &x, sizeof x);
        } else if (to == typeSInt32) {
            if (v < INT32_MIN || v > INT32_MAX) return errAECoercionFail;
            auto x = static_cast<SInt32>(v);
            *out = ae::MakeScalar(to, &x, sizeof x);
        } else if (to == typeUInt32) {
            if (v < 0 || v > static_cast<SInt64>(UINT32_MAX)) return errAECoercionFail;
            auto x = static_cast<UInt32>(v);
            *out = ae::MakeScalar(to, &x, sizeof x);
        } else {
            *out = ae::MakeScalar(to, &v, sizeof v);
        }
        return noErr;
    }
    double d = n.d;
    if (!n.isFloat) {
        d = static_cast<double>(n.i);
        if (d >= 9223372036854775808.0 || static_cast<SInt64>(d) != n.i) return errAECoercionFail;
    }
    if (to == typeIEEE64BitFloatingPoint) {
        *out = ae::MakeScalar(to, &d, sizeof d);
        return noErr;
    }
    auto f = static_cast<float>(d);
    if (!std::isnan(d) && static_cast<double>(f) != d) return errAECoercionFail;
    *out = ae::MakeScalar(to, &f, sizeof f);
    return noErr;
}

std::string NumberText(const Number& n, DescType from) {
    char buffer[64];
    std::to_chars_result r;
    if (!n.isFloat) {
        r = std::to_chars(buffer, buffer + sizeof buffer, n.i);
    } else if (from == typeIEEE32BitFloatingPoint) {
        r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(n.d));
    } else {
        r = std::to_chars(buffer, buffer + sizeof buffer, n.d);
    }
    return std::string(buffer, r.ptr);
}

std::string TrimAscii(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (b < e && space(s[b])) ++b;
    while (e > b && space(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool ParseNumberText(const std::string& raw, Number* n) {
    std::string s = TrimAscii(raw);
    if (s.empty()) return false;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (*first == '+') ++first;  // from_chars takes no plus sign
    if (first == last || *first == '+' || (*first == '-' && first + 1 == last)) return false;
    SInt64 i = 0;
    auto ri = std::from_chars(first, last, i);
    if (ri.ec == std::errc() && ri.ptr == last) {
        n->isFloat = false;
        n->i = i;
        return true;
    }
    double d = 0;
    auto rd = std::from_chars(first, last, d, std::chars_format::general);
    if (rd.ec != std::errc() || rd.ptr != last) return false;
    n->isFloat = true;
    n->d = d;
    return true;
}

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t k = 0; k < n; ++k) {
        char c = a[k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[k]) return false;
    }
    return true;
}

// The Mac OS Roman bytes of a descriptor whose text is stored in Mac OS Roman.
bool RomanBytes(const AEDesc& desc, std::string* out) {
    if (ae::IsKind(&desc, AEStorageKind::Record) && desc.descriptorType == typeStyledText) {
        // Styled text as a record: the text is its 'ktxt' item.
        const AEItem* text = ae::FindKey(ae::Contents(desc).items, keyText);
        return text != nullptr && text->desc.descriptorType != typeStyledText &&
               RomanBytes(text->desc, out);
    }
    const auto* bytes = ScalarBytes(desc);
    if (bytes == nullptr) return false;
    const char* p = reinterpret_cast<const char*>(bytes->data());
    std::size_t n = bytes->size();
    switch (desc.descriptorType) {
        case typeChar:
        case typeStyledText:
            out->assign(p, n);
            return true;
        case typeIntlText:  // script code and language code, then the text
            if (n < 4) return false;
            out->assign(p + 4, n - 4);
            return true;
        case typePString:
            if (n < 1 || static_cast<unsigned char>(p[0]) > n - 1) return false;
            out->assign(p + 1, static_cast<unsigned char>(p[0]));
            return true;
        case typeCString:
            out->assign(p, strnlen(p, n));
            return true;
        default:
            return false;
    }
}

std::u16string RomanToUtf16(const std::string& roman) {
    std::u16string text;
    text.reserve(roman.size());
    for (char c : roman) text.push_back(MacRomanToUnicode(static_cast<unsigned char>(c)));
    return text;
}

OSErr MakeText(const std::u16string& text, const std::string* roman, DescType to, AEDesc* out) {
    std::string bytes;
    if (to == typeUnicodeText) {
        *out = ae::MakeScalar(to, text.data(), text.size() * sizeof(char16_t));
        return noErr;
    }
    if (to == typeUTF8Text) {
        if (!Utf16ToUtf8(text, &bytes)) return errAECoercionFail;
        *out = ae::MakeScalar(to, bytes.data(), bytes.size());
        return noErr;
    }
    if (roman != nullptr) {
        bytes = *roman;
    } else if (!Utf16ToMacRoman(text, &bytes)) {
        return errAECoercionFail;  // a character with no Mac OS Roman form
    }
    if (to == typePString) {
        if (bytes.size() > 255) return errAECoercionFail;
        bytes.insert(bytes.begin(), static_cast<char>(bytes.size()));
    }
    *out = ae::MakeScalar(to, bytes.data(), bytes.size());
    return noErr;
}

OSErr ToText(const AEDesc& desc, DescType to, AEDesc* out) {
    std::string roman;
    if (RomanBytes(desc, &roman)) return MakeText(RomanToUtf16(roman), &roman, to, out);
    std::u16string text;
    if (ae::DecodeText(desc, &text)) return MakeText(text, nullptr, to, out);
    Number n;
    if (ReadNumber(desc, &n)) {
        roman = NumberText(n, desc.descriptorType);
        return MakeText(RomanToUtf16(roman), &roman, to, out);
    }
    const auto* bytes = ScalarBytes(desc);
    if (bytes == nullptr) return errAECoercionFail;
    if (desc.descriptorType == typeBoolean && bytes->size() == 1) {
        roman = (*bytes)[0] != 0 ? "true" : "false";
        return MakeText(RomanToUtf16(roman), &roman, to, out);
    }
    if (IsCodeType(desc.descriptorType) && bytes->size() == 4) {
        auto code = Load<UInt32>(*bytes);
        for (int shift = 24; shift >= 0; shift -= 8) {
            roman.push_back(static_cast<char>((code >> shift) & 0xFF));
        }
        return MakeText(RomanToUtf16(roman), &roman, to, out);
    }
    return errAECoercionFail;
}

OSErr ToNumber(const AEDesc& desc, DescType to, AEDesc* out) {
    Number n;
    if (ReadNumber(desc, &n)) return WriteNumber(n, to, out);
    std::u16string text;
    std::string roman;
    if (ae::DecodeText(desc, &text)) {
        if (!Utf16ToMacRoman(text, &roman) || !ParseNumberText(roman, &n)) {
            return errAECoercionFail;
        }
        return WriteNumber(n, to, out);
    }
    const auto* bytes = ScalarBytes(desc);
    if (bytes == nullptr) return errAECoercionFail;
    if (desc.descriptorType == typeBoolean && bytes->size() == 1) {
        n.i = (*bytes)[0] != 0 ? 1 : 0;
        return WriteNumber(n, to, out);
    }
    if (desc.descriptorType == typeTrue || desc.descriptorType == typeFalse) {
        n.i = desc.descriptorType == typeTrue ? 1 : 0;
        return WriteNumber(n, to, out);
    }
    if (desc.descriptorType == typeLongDateTime && to == typeSInt64 && bytes->size() == 8) {
        *out = ae::MakeScalar(to, bytes->data(), 8);
        return noErr;
    }
    return errAECoercionFail;
}

OSErr ToBoolean(const AEDesc& desc, AEDesc* out) {
    int value = -1;
    Number n;
    std::u16string text;
    std::string roman;
    const auto* bytes = ScalarBytes(desc);
    DescType t = desc.descriptorType;
    if (t == typeTrue || t == typeFalse) {
        value = t == typeTrue ? 1 : 0;
    } else if (ReadNumber(desc, &n)) {
        SInt64 v = 0;
        if (ExactInteger(n, &v) && (v == 0 || v == 1)) value = static_cast<int>(v);
    } else if (bytes != nullptr && IsCodeType(t) && bytes->size() == 4) {
        auto code = Load<UInt32>(*bytes);
        if (code == enumYes || code == typeTrue) value = 1;
        if (code == enumNo || code == typeFalse) value = 0;
    } else if (ae::DecodeText(desc, &text) && Utf16ToMacRoman(text, &roman)) {
        roman = TrimAscii(roman);
        if (EqualsIgnoringAsciiCase(roman, "true")) value = 1;
        if (EqualsIgnoringAsciiCase(roman, "false")) value = 0;
    }
    if (value < 0) return errAECoercionFail;
    Boolean b = static_cast<Boolean>(value);
    *out = ae::MakeScalar(typeBoolean, &b, 1);
    return noErr;
}

OSErr ToCode(const AEDesc& desc, DescType to, AEDesc* out) {
    const auto* bytes = ScalarBytes(desc);
    if (bytes != nullptr && IsCodeType(desc.descriptorType)) {
        if (bytes->size() != 4) return errAECoercionFail;
        *out = ae::MakeScalar(to, bytes->data(), 4);
        return noErr;
    }
    // Four characters of text name a code, as a script writes one in quotes.
    std::u16string text;
    std::string roman;
    if (ae::DecodeText(desc, &text) && Utf16ToMacRoman(text, &roman) && roman.size() == 4) {
        UInt32 code = 0;
        for (char c : roman) code = (code << 8) | static_cast<unsigned char>(c);
        *out = ae::MakeScalar(to, &code, 4);
        return noErr;
    }
    return errAECoercionFail;
}

OSErr ToDate(const AEDesc& desc, AEDesc* out) {
    const auto* bytes = ScalarBytes(desc);
    if (bytes != nullptr && desc.descriptorType == typeSInt64 && bytes->size() == 8) {
        *out = ae::MakeScalar(typeLongDateTime, bytes->data(), 8);
        return noErr;
    }
    return errAECoercionFail;
}

}  // namespace

namespace ae {

OSErr Coerce(const AEDesc& desc, DescType to, AEDesc* out) {
    *out = NullDesc();
    DescType from = desc.descriptorType;
    if (to == typeWildCard || to == from) {
        *out = Clone(desc);
        return noErr;
    }
    if (desc.dataHandle == nullptr) return errAECoercionFail;
    if (AECoercionProc handler = FindHandler(from, to)) {
        OSErr err = handler(&desc, to, out);
        if (err != noErr) {
            Release(out->dataHandle);
            *out = NullDesc();
        }
        return err;
    }
    if (to == typeAEList) {
        AEDesc list = MakeContainer(typeAEList, AEStorageKind::List);
        list.dataHandle->contents->items.push_back({typeWildCard, Clone(desc)});
        *out = list;
        return noErr;
    }
    OSErr err = errAECoercionFail;
    if (IsTextTarget(to)) {
        err = ToText(desc, to, out);
    } else if (IsNumberType(to)) {
        err = ToNumber(desc, to, out);
    } else if (to == typeBoolean) {
        err = ToBoolean(desc, out);
    } else if (IsCodeType(to)) {
        err = ToCode(desc, to, out);
    } else if (to == typeLongDateTime) {
        err = ToDate(desc, out);
    }
    if (err == noErr || err != errAECoercionFail) return err;
    // A record takes any type of no fixed meaning: that is how an object
    // specifier ('obj ') is made from a plain record.
    if (IsKind(&desc, AEStorageKind::Record) && !IsBuiltInScalarType(to)) {
        AEDesc copy = Clone(desc);
        copy.descriptorType = to;
        *out = copy;
        return noErr;
    }
    return errAECoercionFail;
}

bool DecodeText(const AEDesc& desc, std::u16string* text) {
    std::string roman;
    if (RomanBytes(desc, &roman)) {
        *text = RomanToUtf16(roman);
        return true;
    }
    const auto* bytes = ScalarBytes(desc);
    if (bytes == nullptr) return false;
    if (desc.descriptorType == typeUnicodeText) {
        if (bytes->size() % 2 != 0) return false;
        text->resize(bytes->size() / 2);
        if (!bytes->empty()) std::memcpy(text->data(), bytes->data(), bytes->size());
        if (!text->empty() && (*text)[0] == u'\xFEFF') text->erase(0, 1);
        return true;
    }
    if (desc.descriptorType == typeUTF8Text) {
        std::string_view view(reinterpret_cast<const char*>(bytes->data()), bytes->size());
        if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
        return Utf8ToUtf16(view, text);
    }
    return false;
}

bool ExactRoman(const std::u16string& text, std::string* roman) {
    roman->clear();
    for (char16_t u : text) {
        unsigned char byte = 0;
        if (!UnicodeToMacRoman(u, &byte)) return false;
        roman->push_back(static_cast<char>(byte));
    }
    return true;
}

}  // namespace ae

OSErr AEInstallCoercionHandler(DescType fromType, DescType toType, AECoercionProc handler) {
    if (handler == nullptr) return paramErr;
    std::lock_guard<std::mutex> guard(RegistryLock());
    Registry()[{fromType, toType}] = handler;
    return noErr;
}

OSErr AERemoveCoercionHandler(DescType fromType, DescType toType) {
    std::lock_guard<std::mutex> guard(RegistryLock());
    return Registry().erase({fromType, toType}) > 0 ? noErr : errAEHandlerNotFound;
}
