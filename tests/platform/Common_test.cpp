#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Common.h"
#include "platform/CommonPortable.h"
#include "support/MessageCapture.h"
#include "support/TempDir.h"

namespace {

TEST(Common, MessagesAreCapturedInOrderWithOwnerAndStyle) {
    MessageCapture capture;
    QWnd owner = reinterpret_cast<QWnd>(0x1234);
    ShowMyMessage(nullptr, "Ricontrolla le parentesi", "Errore!", kMbIconInformation);
    ShowMyMessage(owner, "testo", "HELP", kMbOk);
    ASSERT_EQ(capture.messages().size(), 2u);
    EXPECT_EQ(capture.messages()[0].text, "Ricontrolla le parentesi");
    EXPECT_EQ(capture.messages()[0].title, "Errore!");
    EXPECT_EQ(capture.messages()[0].style, 0x40);
    EXPECT_EQ(capture.messages()[0].owner, nullptr);
    EXPECT_EQ(capture.messages()[1].owner, owner);
    EXPECT_EQ(capture.messages()[1].title, "HELP");
}

TEST(Common, AbortHookAnswersThePoll) {
    EXPECT_EQ(UserAbort(), 0);
    int calls = 0;
    SetAbortHook(
        [](void* context) -> int32_t { return ++*static_cast<int*>(context) >= 3 ? 1 : 0; },
        &calls);
    EXPECT_EQ(UserAbort(), 0);
    EXPECT_EQ(UserAbort(), 0);
    EXPECT_EQ(UserAbort(), 1);
    SetAbortHook(nullptr, nullptr);
    EXPECT_EQ(UserAbort(), 0);
}

// Records what reaches the device.
class RecordingSurface : public DrawSurface {
  public:
    std::vector<std::string> calls;
    void SetPixel(int32_t x, int32_t y, QColor c) override {
        calls.push_back("pixel " + std::to_string(x) + "," + std::to_string(y) + " " +
                        std::to_string(c));
    }
    void MoveTo(int32_t x, int32_t y, QPoint*) override {
        calls.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    }
    void LineTo(int32_t x, int32_t y) override {
        calls.push_back("line " + std::to_string(x) + "," + std::to_string(y));
    }
    void SelectSolidPen(QColor) override {}
    void RestorePen() override {}
    void PlaceText(const char* text, int32_t count, const QRect& r, uint32_t format) override {
        calls.push_back("text " + std::string(text, static_cast<size_t>(count)) + " " +
                        std::to_string(r.right) + " " + std::to_string(format));
    }
};

TEST(Common, DrawingWrappersWidenSignedCoordinates) {
    RecordingSurface surface;
    const QRect rect = {0, 0, 400, 300};
    MyMoveToEx(&surface, -5, 7, nullptr);
    MyLineTo(&surface, static_cast<int16_t>(-32768), 32767);
    MyDrawText(&surface, "xMin      -10 tail", 14, &rect, 0x28);
    const std::vector<std::string> expected = {"move -5,7", "line -32768,32767",
                                               "text xMin      -10  400 40"};
    EXPECT_EQ(surface.calls, expected);
}

TEST(Common, ElapsedMillisecondsIsASteadyClock) {
    const double first = ElapsedMilliseconds();
    volatile double sink = 0;
    for (int i = 0; i < 100000; ++i) {
        sink = sink + i;
    }
    EXPECT_GE(ElapsedMilliseconds(), first);
}

TEST(Common, ProfileCallsCanBePointedAtOneFile) {
    TempDir dir;
    dir.Write("mine.ini", "[Quorvy]\r\nMinX=-7\r\n");
    SetProfileDirectory(dir.path().c_str());
    SetProfileFile(dir.File("mine.ini").c_str());
    char value[16];
    EXPECT_EQ(ProfileRead("Quorvy", "MinX", "0", value, sizeof value, "Quorvy.ini"), 2u);
    EXPECT_STREQ(value, "-7");
    EXPECT_EQ(ProfilePath("Other.ini"), dir.File("mine.ini"));
    SetProfileFile("");
    EXPECT_EQ(ProfilePath("Quorvy.ini"), dir.File("Quorvy.ini"));
    ProfileRead("Quorvy", "MinX", "0", value, sizeof value, "Quorvy.ini");
    EXPECT_STREQ(value, "0");  // no Quorvy.ini in the folder
    SetProfileDirectory(".");
}

}  // namespace
