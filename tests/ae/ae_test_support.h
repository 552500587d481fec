// Small helpers shared by the Apple Event tests.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/AppleEvents.h"

namespace aetest {

inline std::vector<unsigned char> Bytes(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    return std::vector<unsigned char>(b, b + n);
}

template <typename T>
std::vector<unsigned char> Of(T value) {
    return Bytes(&value, sizeof value);
}

inline std::vector<unsigned char> Text(const std::string& s) {
    return Bytes(s.data(), s.size());
}

inline std::vector<unsigned char> Utf16(const std::u16string& s) {
    return Bytes(s.data(), s.size() * sizeof(char16_t));
}

inline std::vector<unsigned char> Flat(const AEDesc& d) {
    std::vector<unsigned char> out(static_cast<std::size_t>(AESizeOfFlattenedDesc(&d)));
    Size actual = 0;
    if (AEFlattenDesc(&d, out.data(), static_cast<Size>(out.size()), &actual) != noErr) return {};
    out.resize(static_cast<std::size_t>(actual));
    return out;
}

inline std::vector<unsigned char> Data(const AEDesc& d) {
    std::vector<unsigned char> out(static_cast<std::size_t>(AEGetDescDataSize(&d)));
    if (!out.empty()) AEGetDescData(&d, out.data(), static_cast<Size>(out.size()));
    return out;
}

inline std::string Print(const AEDesc& d) {
    char* text = nullptr;
    if (AEPrintDescToText(&d, &text) != noErr || text == nullptr) return "<print failed>";
    std::string s = text;
    std::free(text);
    return s;
}

inline std::string Code(OSType code) {
    std::string s(4, ' ');
    for (int k = 0; k < 4; ++k)
        s[static_cast<std::size_t>(k)] = static_cast<char>(code >> (24 - 8 * k));
    return s;
}

// A descriptor that releases itself.
struct Desc {
    AEDesc d{typeNull, nullptr};
    Desc() = default;
    Desc(const Desc&) = delete;
    Desc& operator=(const Desc&) = delete;
    ~Desc() { AEDisposeDesc(&d); }
    AEDesc* operator&() { return &d; }
    // For reuse as an output: releases what it held first.
    AEDesc* Out() {
        AEDisposeDesc(&d);
        return &d;
    }
    const AEDesc* get() const { return &d; }
};

}  // namespace aetest
