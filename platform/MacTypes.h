// Basic Mac-shaped scalar types, four-character codes and result codes shared
// by every layer. Contains no system headers: everything above platform/ may
// include it.
#pragma once

#include <cstdint>

using UInt8 = std::uint8_t;
using SInt8 = std::int8_t;
using UInt16 = std::uint16_t;
using SInt16 = std::int16_t;
using UInt32 = std::uint32_t;
using SInt32 = std::int32_t;
using UInt64 = std::uint64_t;
using SInt64 = std::int64_t;
using Boolean = unsigned char;  // one byte: 0 false, anything else true
using UniChar = std::uint16_t;  // one UTF-16 code unit
using UniCharCount = std::uint32_t;
using Size = long;
using OSErr = SInt16;
using OSStatus = SInt32;
using OSType = UInt32;
using FourCharCode = UInt32;
using ResType = OSType;
using DescType = OSType;
using AEKeyword = OSType;
using AEEventClass = OSType;
using AEEventID = OSType;
using LongDateTime = SInt64;  // seconds since 1904-01-01 00:00:00, local time
using Ptr = char*;
using Handle = char**;  // see platform/Memory.h for the allocator

// Pascal strings: a length byte followed by that many Mac OS Roman bytes.
using Str255 = unsigned char[256];
using Str63 = unsigned char[64];
using Str31 = unsigned char[32];
using Str15 = unsigned char[16];
using StringPtr = unsigned char*;
using ConstStringPtr = const unsigned char*;
using ConstStr255Param = const unsigned char*;

// Four-character code from a literal such as FourCC("TEXT"). A code whose first
// character is the Mac OS Roman byte 0xC4 ("ƒ") is written FourCC("\xC4" "dsk").
constexpr OSType FourCC(const char (&s)[5]) {
    return (static_cast<OSType>(static_cast<unsigned char>(s[0])) << 24) |
           (static_cast<OSType>(static_cast<unsigned char>(s[1])) << 16) |
           (static_cast<OSType>(static_cast<unsigned char>(s[2])) << 8) |
           static_cast<OSType>(static_cast<unsigned char>(s[3]));
}

enum : OSErr {
    noErr = 0,
    paramErr = -50,
    memFullErr = -108,
    nsvErr = -35,  // no such volume
    ioErr = -36,
    bdNamErr = -37,  // bad name
    fnfErr = -43,    // file not found
    wPrErr = -44,
    fLckdErr = -45,
    vLckdErr = -46,
    fBsyErr = -47,
    dupFNErr = -48,
    opWrErr = -49,
    permErr = -54,
    dirNFErr = -120,  // directory not found
    tmfoErr = -42,    // too many files open
    afpAccessDenied = -5000,
    errFSNotAFolder = -1407,
    errFSNoMoreItems = -1417,
    errFSBadItemCount = -1418,
    errFSBadIteratorFlags = -1424,
    errFSIteratorNotFound = -1423,
    errFSBadFSRef = -1401,
    resFNotFound = -193,
    resNotFound = -192,
    mapReadErr = -199,
    eofErr = -39,
    errAECoercionFail = -1700,
    errAEDescNotFound = -1701,
    errAECorruptData = -1702,
    errAEWrongDataType = -1703,
    errAENotAEDesc = -1739,  // a descriptor without data where data is needed
    errAEBadListItem = -1705,
    errAENewerVersion = -1706,
    errAENotAppleEvent = -1707,
    errAEEventNotHandled = -1708,
    errAEReplyNotValid = -1709,
    errAEUnknownSendMode = -1710,
    errAEWaitCanceled = -1711,
    errAETimeout = -1712,
    errAEUnknownAddressType = -1716,
    errAEHandlerNotFound = -1717,
    errAEReplyNotArrived = -1718,
    errAEIllegalIndex = -1719,
    errAEBuildSyntaxError = -1740,  // build string or flattened data malformed
    errOSACantAccess = -1728,
    procNotFound = -600,
    connectionInvalid = -609,
    kCFURLErrorNoPath = -4960,
};
