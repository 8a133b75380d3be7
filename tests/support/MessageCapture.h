// Captures every message box the code under test shows, in order.
#pragma once

#include <string>
#include <vector>

#include "app/CommonPortable.h"

struct CapturedMessage {
    QWnd owner;
    std::string text;
    std::string title;
    int16_t style;
};

class MessageCapture {
  public:
    MessageCapture() { SetMessageSink(&Record, this); }
    ~MessageCapture() { SetMessageSink(nullptr, nullptr); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const std::vector<CapturedMessage>& messages() const { return messages_; }
    std::vector<std::string> texts() const {
        std::vector<std::string> result;
        for (const auto& m : messages_) {
            result.push_back(m.text);
        }
        return result;
    }
    void Clear() { messages_.clear(); }

  private:
    static void Record(void* context, QWnd owner, const char* msg, const char* title,
                       int16_t style) {
        static_cast<MessageCapture*>(context)->messages_.push_back({owner, msg, title, style});
    }
    std::vector<CapturedMessage> messages_;
};
