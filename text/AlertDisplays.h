// The alert displays that need no window: the headless one (the default),
// which writes one line per alert on standard error, and a recording one for
// tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "text/Alerts.h"

// "stop", "note", "caution" or "plain" ("alert" for an unknown type).
const char* AlertKindName(AlertType type);

// One alert as a single line of UTF-8, without the line feed:
//     seekwright: <kind>: <error text> (<explanation>)
// The parenthesised part is left out when there is no explanation or it is
// empty. The Mac OS Roman texts are converted to UTF-8; line feeds, carriage
// returns and tabs become one space each and other control bytes are written
// as \xHH, so that the alert stays on one line and cannot drive the terminal.
std::string FormatAlertLine(AlertType type, ConstStr255Param error, ConstStr255Param explanation);

// Writes FormatAlertLine and a line feed to `stream` (standard error unless
// told otherwise) in one write, flushes, and answers OK (1) at once.
class HeadlessAlertDisplay : public AlertDisplay {
  public:
    explicit HeadlessAlertDisplay(std::FILE* stream = nullptr) : stream_(stream) {}
    SInt16 ShowAlert(AlertType type, ConstStr255Param error, ConstStr255Param explanation) override;

  private:
    std::FILE* stream_;  // nullptr: stderr at the time of the alert
};

struct RecordedAlert {
    AlertType type;
    std::string text;         // the error text as UTF-8
    std::string explanation;  // as UTF-8; empty when there was none
    bool hasExplanation;      // an explanation pointer was passed (it may be empty)
    std::string textBytes;    // the Mac OS Roman bytes as passed
    std::string explanationBytes;
};

// Keeps every alert and answers OK (1).
class RecordingAlertDisplay : public AlertDisplay {
  public:
    SInt16 ShowAlert(AlertType type, ConstStr255Param error, ConstStr255Param explanation) override;
    const std::vector<RecordedAlert>& alerts() const { return alerts_; }
    void Clear() { alerts_.clear(); }

  private:
    std::vector<RecordedAlert> alerts_;
};

// Installs a display for the scope's lifetime and then restores the one
// that was installed before.
class ScopedAlertDisplay {
  public:
    explicit ScopedAlertDisplay(AlertDisplay* display) : previous_(SetAlertDisplay(display)) {}
    ~ScopedAlertDisplay() { SetAlertDisplay(previous_); }
    ScopedAlertDisplay(const ScopedAlertDisplay&) = delete;
    ScopedAlertDisplay& operator=(const ScopedAlertDisplay&) = delete;

  private:
    AlertDisplay* previous_;
};

// A recording display installed for the scope's lifetime:
//     ScopedAlertRecorder alerts;
//     ... code that alerts ...
//     ASSERT_EQ(alerts.alerts().size(), 1u);
class ScopedAlertRecorder : public RecordingAlertDisplay {
  public:
    ScopedAlertRecorder() : scope_(this) {}

  private:
    ScopedAlertDisplay scope_;
};
