// Flattened descriptors from arbitrary bytes: reading must never crash,
// over-read or allocate from a hostile length; whatever reads back must
// flatten to the same bytes and survive printing and parsing.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/AppleEvents.h"

namespace {

std::vector<unsigned char> Flatten(const AEDesc& d) {
    std::vector<unsigned char> out(static_cast<std::size_t>(AESizeOfFlattenedDesc(&d)));
    Size actual = 0;
    if (AEFlattenDesc(&d, out.data(), static_cast<Size>(out.size()), &actual) != noErr) abort();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AEDesc d{typeNull, nullptr};
    OSErr err = AEUnflattenDesc(data, static_cast<Size>(size), &d);
    if (err != noErr) {
        if (d.dataHandle != nullptr) abort();
        return 0;
    }
    // The accepted form is canonical: it flattens to exactly the input.
    std::vector<unsigned char> flat = Flatten(d);
    if (flat.size() != size || std::memcmp(flat.data(), data, size) != 0) abort();

    char* printed = nullptr;
    if (AEPrintDescToText(&d, &printed) != noErr) abort();
    AEDesc back{typeNull, nullptr};
    OSErr parsed =
        AEBuildDescWithArgs(&back, printed, static_cast<Size>(std::strlen(printed)), nullptr, 0);
    // Nesting deeper than the parser's limit is the one thing that may not
    // read back; anything else must be the same descriptor.
    if (parsed == noErr) {
        if (Flatten(back) != flat) abort();
    } else if (parsed != errAEBuildSyntaxError) {
        abort();
    }
    std::free(printed);
    AEDisposeDesc(&back);

    // Exercise the readers on whatever came in.
    long count = 0;
    if (AECountItems(&d, &count) == noErr) {
        for (long i = 1; i <= count && i <= 8; ++i) {
            char buffer[64];
            AEGetNthPtr(&d, i, typeChar, nullptr, nullptr, buffer, sizeof buffer, nullptr);
            AEDesc item{typeNull, nullptr};
            if (AEGetNthDesc(&d, i, typeUnicodeText, nullptr, &item) == noErr) AEDisposeDesc(&item);
        }
    }
    AEDesc coerced{typeNull, nullptr};
    const DescType targets[] = {
        typeChar,   typeUnicodeText, typeSInt32,       typeBoolean,
        typeAEList, typeEnumerated,  typeLongDateTime, typeIEEE32BitFloatingPoint};
    for (DescType t : targets) {
        if (AECoerceDesc(&d, t, &coerced) == noErr) AEDisposeDesc(&coerced);
    }
    AEDisposeDesc(&d);
    return 0;
}
