// Portable side of the platform doors: messages go to a replaceable sink (tests capture them,
// tools print them), the abort poll asks a replaceable hook, drawing forwards to the surface.
#include "platform/CommonPortable.h"

#include "platform/Common.h"
#include "platform/IniFile.h"

#include <chrono>
#include <cstdio>

namespace {

void PrintMessage(void*, QWnd, const char* msg, const char* title, int16_t) {
    std::fprintf(stderr, "[%s] %s\n", title ? title : "", msg ? msg : "");
}

MessageSink gMessageSink = PrintMessage;
void* gMessageContext = nullptr;
AbortHook gAbortHook = nullptr;
void* gAbortContext = nullptr;
uint32_t gAbortSpacing = 1;
std::string gProfileDirectory = ".";
std::string gProfileFile;
const std::string* gProfileText = nullptr;
int gInvalidateRequests = 0;

}  // namespace

void SetMessageSink(MessageSink sink, void* context) {
    gMessageSink = sink ? sink : PrintMessage;
    gMessageContext = sink ? context : nullptr;
}

void SetAbortHook(AbortHook hook, void* context, uint32_t spacing) {
    gAbortHook = hook;
    gAbortContext = context;
    gAbortSpacing = spacing != 0 ? spacing : 1;
}

void ShowMyMessage(QWnd ParentW, const char* Msg, const char* Title, int16_t AlertType) {
    gMessageSink(gMessageContext, ParentW, Msg, Title, AlertType);
}

int32_t UserAbort() {
    return gAbortHook ? gAbortHook(gAbortContext) : 0;
}

uint32_t AbortPollSpacing() {
    return gAbortHook ? gAbortSpacing : 0;
}

void* SetWaitCursor() {
    return nullptr;
}

void RestoreCursor(void*) {}

double ElapsedMilliseconds() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void InvalidateClientArea(QWnd) {
    ++gInvalidateRequests;
}

int InvalidateRequests() {
    return gInvalidateRequests;
}

void SetProfileDirectory(const char* directory) {
    gProfileDirectory = directory;
}

void SetProfileFile(const char* path) {
    gProfileFile = path;
}

std::string ProfilePath(const char* fileName) {
    if (!gProfileFile.empty()) {
        return gProfileFile;
    }
    return gProfileDirectory + "/" + fileName;
}

void SetProfileText(const std::string* text) {
    gProfileText = text;
}

uint32_t ProfileRead(const char* section, const char* key, const char* defaultText, char* buffer,
                     uint32_t size, const char* fileName) {
    if (gProfileText != nullptr) {
        return IniReadText(gProfileText, section, key, defaultText, buffer, size);
    }
    return IniRead(ProfilePath(fileName), section, key, defaultText, buffer, size);
}

void ProfileWrite(const char* section, const char* key, const char* value, const char* fileName) {
    IniWrite(ProfilePath(fileName), section, key, value);
}
