// Build strings from arbitrary bytes: parsing must never crash, hang or
// over-read; whatever parses must print and parse back to the same
// descriptor.

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
    if (static_cast<std::size_t>(actual) != out.size()) abort();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two descriptors for the @ signs; more @ signs than that is an error.
    AEDesc text{typeNull, nullptr};
    AEDesc list{typeNull, nullptr};
    AECreateDesc(typeChar, "arg", 3, &text);
    AEBuildDescWithArgs(&list, "[1, {a:\"b\"}]", 12, nullptr, 0);
    const AEDesc* args[] = {&text, &list};

    AEDesc d{typeNull, nullptr};
    OSErr err = AEBuildDescWithArgs(&d, reinterpret_cast<const char*>(data),
                                    static_cast<Size>(size), args, 2);
    if (err != noErr) {
        if (d.dataHandle != nullptr) abort();  // a failure leaves no descriptor
    } else {
        char* printed = nullptr;
        if (AEPrintDescToText(&d, &printed) != noErr) abort();
        AEDesc back{typeNull, nullptr};
        if (AEBuildDescWithArgs(&back, printed, static_cast<Size>(std::strlen(printed)), nullptr,
                                0) != noErr) {
            abort();  // the printer wrote something the parser refuses
        }
        if (Flatten(d) != Flatten(back)) abort();
        std::vector<unsigned char> flat = Flatten(d);
        AEDesc again{typeNull, nullptr};
        if (AEUnflattenDesc(flat.data(), static_cast<Size>(flat.size()), &again) != noErr) {
            abort();
        }
        if (Flatten(again) != flat) abort();
        std::free(printed);
        AEDisposeDesc(&back);
        AEDisposeDesc(&again);
        AEDisposeDesc(&d);
    }
    AEDisposeDesc(&text);
    AEDisposeDesc(&list);
    return 0;
}
