// The platform doors of platform/Common.h for the page: messages are kept for the page to show,
// the abort poll yields to the page now and then, the profile calls work on
// the INI text that the page keeps in the browser's storage.
#include <ctime>
#include <string>

#include "engine/Passes.h"
#include "platform/Common.h"
#include "platform/IniFile.h"
#include "settings/Messages.h"
#include "web/WebPage.h"

namespace {

// How often the pass lets the page run: the clock is read every kClockEvery samples.
constexpr uint64_t kClockEvery = 1024;
constexpr double kYieldEveryMs = 10;
// More messages than anyone can read (an evaluator trace of a long pass) are left out.
constexpr size_t kMessageRoom = 1 << 20;

std::string gMessages;
std::string gIni;
bool gHaveIni = false;

double gLastYield = 0;

}  // namespace

std::string TakeMessages() {
    std::string taken;
    taken.swap(gMessages);
    return taken;
}

void SetStoredIni(const std::string* text) {
    gHaveIni = text != nullptr;
    gIni = text != nullptr ? *text : std::string();
}

const std::string* StoredIni() {
    return gHaveIni ? &gIni : nullptr;
}

void ResetYieldClock() {
    gLastYield = ElapsedMilliseconds();
}

namespace {

// A box whose text is none of the program's messages is a step of a debugging trace.
bool IsTraceBox(const char* Msg) {
    for (const ProgramMessage& message : kMessages) {
        if (Msg == message.text) {
            return false;
        }
    }
    return true;
}

}  // namespace

void ShowMyMessage(QWnd, const char* Msg, const char* Title, int16_t) {
    if (gMessages.size() < kMessageRoom) {
        gMessages.append(Title != nullptr ? Title : "").append(1, '\x1f');
        gMessages.append(Msg != nullptr ? Msg : "");
        gMessages.append(IsTraceBox(Msg) ? "\x1ftrace" : "").append(1, '\x1e');
    }
}

// The passes count the samples and keep a stop; the page is only asked now and then.
int32_t UserAbort() {
    const uint64_t count = PassSampleCount();
    if (count % kClockEvery != 0 || ElapsedMilliseconds() - gLastYield < kYieldEveryMs) {
        return 0;
    }
    const bool stop = PageYield(static_cast<double>(count), ExpectedSamples()) != 0;
    gLastYield = ElapsedMilliseconds();
    return stop ? 1 : 0;
}

uint32_t AbortPollSpacing() {
    return static_cast<uint32_t>(kClockEvery);
}

void* SetWaitCursor() {
    return nullptr;
}

void RestoreCursor(void*) {}

double ElapsedMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

void InvalidateClientArea(QWnd) {}

uint32_t ProfileRead(const char* section, const char* key, const char* defaultText, char* buffer,
                     uint32_t size, const char*) {
    return IniReadText(StoredIni(), section, key, defaultText, buffer, size);
}

void ProfileWrite(const char* section, const char* key, const char* value, const char*) {
    gHaveIni = true;
    IniWriteText(&gIni, section, key, value);
}
