// Handler tables and in-process delivery of Apple events.

#include <map>
#include <mutex>
#include <vector>

#include "platform/AppleEvents.h"
#include "platform/ae/AEInternal.h"

namespace {

constexpr AEEventID kAEAnswer = FourCC("ansr");

struct HandlerEntry {
    AEEventClass eventClass;
    AEEventID eventID;
    AEEventHandlerProcPtr handler;
    long refcon;
};

// Installed at start-up and read on every dispatch; the lock covers the
// tables only, never a handler's run, so handlers may send events in turn.
std::mutex& TableLock() {
    static std::mutex lock;
    return lock;
}
std::vector<HandlerEntry>& Handlers() {
    static std::vector<HandlerEntry> handlers;
    return handlers;
}
std::map<OSType, AETargetHandler>& Targets() {
    static std::map<OSType, AETargetHandler> targets;
    return targets;
}

bool FindHandler(AEEventClass eventClass, AEEventID eventID, HandlerEntry* found) {
    std::lock_guard<std::mutex> guard(TableLock());
    // Exact match first, then the wildcard forms.
    const std::pair<AEEventClass, AEEventID> tries[] = {{eventClass, eventID},
                                                        {eventClass, typeWildCard},
                                                        {typeWildCard, eventID},
                                                        {typeWildCard, typeWildCard}};
    for (const auto& [c, i] : tries) {
        for (const HandlerEntry& e : Handlers()) {
            if (e.eventClass == c && e.eventID == i) {
                *found = e;
                return true;
            }
        }
    }
    return false;
}

OSType AttributeCode(const AppleEvent* event, AEKeyword key) {
    OSType code = 0;
    AEGetAttributePtr(event, key, typeType, nullptr, &code, sizeof code, nullptr);
    return code;
}

OSErr MakeReply(const AppleEvent* event, AppleEvent* reply) {
    AEReturnID returnID = 0;
    AETransactionID transactionID = kAnyTransactionID;
    AEGetAttributePtr(event, keyReturnIDAttr, typeSInt16, nullptr, &returnID, sizeof returnID,
                      nullptr);
    AEGetAttributePtr(event, keyTransactionIDAttr, typeSInt32, nullptr, &transactionID,
                      sizeof transactionID, nullptr);
    // A reply carries its question's return id, so it can never be -1 (auto) here.
    if (returnID == kAutoGenerateReturnID) returnID = 0;
    return AECreateAppleEvent(kCoreEventClass, kAEAnswer, nullptr, returnID, transactionID, reply);
}

// The handler's failure reaches the sender as 'errn', unless the handler
// already put a more precise one there itself.
void StoreError(AppleEvent* reply, OSErr err) {
    if (err == noErr || reply == nullptr || reply->dataHandle == nullptr) return;
    Size size = 0;
    DescType type = 0;
    if (AESizeOfParam(reply, keyErrorNumber, &type, &size) == noErr) return;
    SInt32 number = err;
    AEPutParamPtr(reply, keyErrorNumber, typeSInt32, &number, sizeof number);
}

bool IsEvent(const AppleEvent* event) {
    return ae::IsKind(event, AEStorageKind::Event);
}

}  // namespace

OSErr AEInstallEventHandler(AEEventClass eventClass, AEEventID eventID,
                            AEEventHandlerProcPtr handler, long refcon, Boolean) {
    if (handler == nullptr) return paramErr;
    std::lock_guard<std::mutex> guard(TableLock());
    for (HandlerEntry& e : Handlers()) {
        if (e.eventClass == eventClass && e.eventID == eventID) {
            e.handler = handler;
            e.refcon = refcon;
            return noErr;
        }
    }
    Handlers().push_back({eventClass, eventID, handler, refcon});
    return noErr;
}

OSErr AERemoveEventHandler(AEEventClass eventClass, AEEventID eventID,
                           AEEventHandlerProcPtr handler, Boolean) {
    std::lock_guard<std::mutex> guard(TableLock());
    auto& handlers = Handlers();
    for (auto it = handlers.begin(); it != handlers.end(); ++it) {
        if (it->eventClass == eventClass && it->eventID == eventID &&
            (handler == nullptr || it->handler == handler)) {
            handlers.erase(it);
            return noErr;
        }
    }
    return errAEHandlerNotFound;
}

OSErr AEDispatchToInstalledHandlers(const AppleEvent* event, AppleEvent* reply) {
    if (!IsEvent(event)) return errAENotAppleEvent;
    HandlerEntry entry{};
    if (!FindHandler(AttributeCode(event, keyEventClassAttr), AttributeCode(event, keyEventIDAttr),
                     &entry)) {
        return errAEEventNotHandled;
    }
    AppleEvent noReply = ae::NullDesc();
    return entry.handler(event, reply != nullptr ? reply : &noReply, entry.refcon);
}

OSErr AEProcessAppleEvent(const AppleEvent* event, AppleEvent* reply) {
    if (reply != nullptr) *reply = ae::NullDesc();
    if (!IsEvent(event)) return errAENotAppleEvent;
    if (reply != nullptr) {
        OSErr err = MakeReply(event, reply);
        if (err != noErr) return err;
    }
    OSErr err = AEDispatchToInstalledHandlers(event, reply);
    StoreError(reply, err);
    return err;
}

OSErr AERegisterTarget(OSType signature, AETargetHandler handler) {
    std::lock_guard<std::mutex> guard(TableLock());
    if (handler == nullptr) {
        return Targets().erase(signature) > 0 ? noErr : errAEHandlerNotFound;
    }
    Targets()[signature] = handler;
    return noErr;
}

OSErr AESend(const AppleEvent* event, AppleEvent* reply, AESendMode sendMode, SInt16, SInt32,
             AEIdleProcPtr, void*) {
    if (reply != nullptr) *reply = ae::NullDesc();
    if (!IsEvent(event)) return errAENotAppleEvent;
    AESendMode replyMode = sendMode & 0x3;
    if (replyMode == kAEQueueReply || replyMode == 0) return errAEUnknownSendMode;
    bool wantReply = replyMode == kAEWaitReply;
    if (wantReply && reply == nullptr) return paramErr;

    AETargetHandler target = AEDispatchToInstalledHandlers;  // no address: this process
    AEDesc address = ae::NullDesc();
    if (AEGetAttributeDesc(event, keyAddressAttr, typeWildCard, &address) == noErr &&
        address.descriptorType != typeNull) {
        OSType signature = 0;
        bool bySignature = address.descriptorType == typeApplSignature &&
                           AEGetDescDataSize(&address) == 4 &&
                           AEGetDescData(&address, &signature, 4) == noErr;
        AEDisposeDesc(&address);
        if (!bySignature) return errAEUnknownAddressType;
        std::lock_guard<std::mutex> guard(TableLock());
        auto it = Targets().find(signature);
        if (it == Targets().end()) return procNotFound;
        target = it->second;
    }
    AEDisposeDesc(&address);

    // In-process targets answer synchronously, so there is no wait to time
    // out or to fill with the idle routine.
    AppleEvent answer = ae::NullDesc();
    if (wantReply) {
        OSErr err = MakeReply(event, &answer);
        if (err != noErr) return err;
    }
    OSErr handled = target(event, &answer);
    if (wantReply) {
        StoreError(&answer, handled);
        *reply = answer;
    } else {
        AEDisposeDesc(&answer);
    }
    return noErr;
}
