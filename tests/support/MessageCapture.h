// Captures every message box the code under test shows, in order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CommonPortable.h"

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

// One expected trace box: its title and its text.
struct TraceBox {
    const char* title;
    const char* text;
};

// The captured boxes are exactly these, in order, each a plain box with no owner.
inline void ExpectTraceBoxes(const MessageCapture& capture, const std::vector<TraceBox>& expected) {
    ASSERT_EQ(capture.messages().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(capture.messages()[i].title, expected[i].title) << "box " << i + 1;
        EXPECT_EQ(capture.messages()[i].text, expected[i].text) << "box " << i + 1;
        EXPECT_EQ(capture.messages()[i].owner, nullptr) << "box " << i + 1;
        EXPECT_EQ(capture.messages()[i].style, 0) << "box " << i + 1;
    }
}
