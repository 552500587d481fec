#include "platform/EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstring>
#include <list>
#include <memory>
#include <vector>

#include "platform/qt/QtDisplay.h"

struct OpaqueEventLoopRef {};

struct OpaqueEventLoopTimerRef {
    QTimer timer;
    EventLoopTimerProcPtr proc = nullptr;
    void* userData = nullptr;
};

struct OpaqueEventRef {
    UInt32 eventClass;
    UInt32 eventKind;
    bool hasCommand;
    HICommand command;
};

struct OpaqueEventTargetRef {};

struct OpaqueEventHandlerRef {
    EventHandlerProcPtr proc;
    std::vector<EventTypeSpec> types;
    void* userData;
};

namespace {

OpaqueEventLoopRef mainLoopRef;
OpaqueEventTargetRef applicationTarget;
QEventLoop* runningLoop = nullptr;

std::list<std::unique_ptr<OpaqueEventLoopTimerRef>>& Timers() {
    static std::list<std::unique_ptr<OpaqueEventLoopTimerRef>> timers;
    return timers;
}

// Newest last; dispatch walks from the back.
std::list<std::unique_ptr<OpaqueEventHandlerRef>>& Handlers() {
    static std::list<std::unique_ptr<OpaqueEventHandlerRef>> handlers;
    return handlers;
}

int Milliseconds(EventTimerInterval seconds) {
    return static_cast<int>(seconds * 1000.0 + 0.5);
}

OSStatus DispatchToApplication(OpaqueEventRef* event) {
    // Copy the matching handlers first: a handler may install or remove others.
    std::vector<OpaqueEventHandlerRef> matching;
    for (auto it = Handlers().rbegin(); it != Handlers().rend(); ++it) {
        for (const EventTypeSpec& type : (*it)->types) {
            if (type.eventClass == event->eventClass && type.eventKind == event->eventKind) {
                matching.push_back(**it);
                break;
            }
        }
    }
    for (const OpaqueEventHandlerRef& handler : matching) {
        const OSStatus result = handler.proc(nullptr, event, handler.userData);
        if (result != eventNotHandledErr) return result;
    }
    // The standard handling: Quit ends the loop; nothing else is known to it.
    if (event->eventClass == kEventClassCommand && event->eventKind == kEventCommandProcess &&
        event->hasCommand && event->command.commandID == kHICommandQuit) {
        QuitApplicationEventLoop();
        return noErr;
    }
    return eventNotHandledErr;
}

}  // namespace

namespace swqt {
void RemoveAllTimers() {
    Timers().clear();
}
}  // namespace swqt

EventLoopRef GetMainEventLoop() {
    return &mainLoopRef;
}

OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimerInterval fireDelay,
                               EventTimerInterval interval, EventLoopTimerProcPtr proc,
                               void* userData, EventLoopTimerRef* outTimer) {
    if (loop == nullptr || proc == nullptr || fireDelay < 0 || interval < 0) return paramErr;
    if (QCoreApplication::instance() == nullptr) return paramErr;
    auto owned = std::make_unique<OpaqueEventLoopTimerRef>();
    OpaqueEventLoopTimerRef* timer = owned.get();
    timer->proc = proc;
    timer->userData = userData;
    timer->timer.setTimerType(Qt::PreciseTimer);
    timer->timer.setSingleShot(true);
    timer->timer.setInterval(Milliseconds(fireDelay));
    QObject::connect(&timer->timer, &QTimer::timeout, [timer, interval] {
        // After the first firing the timer repeats at `interval` (or stops).
        if (timer->timer.isSingleShot() && interval > 0) {
            timer->timer.setSingleShot(false);
            timer->timer.start(Milliseconds(interval));
        }
        timer->proc(timer, timer->userData);
    });
    timer->timer.start();
    Timers().push_back(std::move(owned));
    if (outTimer != nullptr) *outTimer = timer;
    return noErr;
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer) {
    for (auto it = Timers().begin(); it != Timers().end(); ++it) {
        if (it->get() == timer) {
            (*it)->timer.stop();
            // Deleted later: the timer may be removing itself from its own proc.
            it->release()->timer.deleteLater();
            Timers().erase(it);
            return noErr;
        }
    }
    return paramErr;
}

void RunApplicationEventLoop() {
    if (QCoreApplication::instance() == nullptr || runningLoop != nullptr) return;
    QEventLoop loop;
    runningLoop = &loop;
    loop.exec();
    runningLoop = nullptr;
}

void QuitApplicationEventLoop() {
    // Only the application loop: a modal dialog's own loop finishes first.
    if (runningLoop != nullptr) runningLoop->exit(0);
}

EventTargetRef GetApplicationEventTarget() {
    return &applicationTarget;
}

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerProcPtr handler, ItemCount numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef) {
    if (target != &applicationTarget || handler == nullptr || (numTypes > 0 && list == nullptr)) {
        return paramErr;
    }
    auto owned = std::make_unique<OpaqueEventHandlerRef>();
    owned->proc = handler;
    owned->types.assign(list, list + numTypes);
    owned->userData = userData;
    if (outRef != nullptr) *outRef = owned.get();
    Handlers().push_back(std::move(owned));
    return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef handlerRef) {
    for (auto it = Handlers().begin(); it != Handlers().end(); ++it) {
        if (it->get() == handlerRef) {
            Handlers().erase(it);
            return noErr;
        }
    }
    return paramErr;
}

OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType,
                           EventParamType* actualType, ByteCount bufferSize, ByteCount* actualSize,
                           void* outData) {
    if (event == nullptr) return paramErr;
    if (name != kEventParamDirectObject || !event->hasCommand || desiredType != typeHICommand) {
        return eventParameterNotFoundErr;
    }
    if (actualType != nullptr) *actualType = typeHICommand;
    if (actualSize != nullptr) *actualSize = sizeof(HICommand);
    if (outData == nullptr) return noErr;
    if (bufferSize < sizeof(HICommand)) return paramErr;
    std::memcpy(outData, &event->command, sizeof(HICommand));
    return noErr;
}

OSStatus ProcessHICommand(const HICommand* command) {
    if (command == nullptr) return paramErr;
    OpaqueEventRef event{kEventClassCommand, kEventCommandProcess, true, *command};
    return DispatchToApplication(&event);
}

OSStatus ProcessEventWithoutParameter(UInt32 eventClass, UInt32 eventKind) {
    OpaqueEventRef event{eventClass, eventKind, false, {}};
    return DispatchToApplication(&event);
}
