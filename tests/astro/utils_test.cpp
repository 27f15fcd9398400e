#include "astro/utils.h"

#include <gtest/gtest.h>

#include <vector>

namespace axo {
namespace {

struct RecordingOperator final : Operator {
    struct Box {
        std::string title;
        std::string text;
        MessageIcon icon;
        MessageButtons buttons;
    };
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override {
        boxes.push_back({title, text, icon, buttons});
        return MessageAnswer::Ok;
    }
    void Beep() override {}
    void ProcessPendingEvents() override {}
    std::vector<Box> boxes;
};

TEST(TextUtils, CutsAndStrips) {
    EXPECT_EQ(CutAtNul(std::string("\0abc", 4)), "");
    EXPECT_EQ(CutAtNul(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(CutAtNul("plain"), "plain");
    EXPECT_EQ(CutAtCr("OK\r\n"), "OK");
    EXPECT_EQ(CutAtCr("no return"), "no return");
    EXPECT_EQ(StripLeadingSpace("  5"), " 5");
    EXPECT_EQ(StripLeadingSpace(" 5"), "5");
    EXPECT_EQ(StripLeadingSpace("-5"), "-5");
    EXPECT_EQ(StripLeadingSpace(""), "");
}

TEST(NumberUtils, LowByteHexDigitAndDigits) {
    EXPECT_EQ(LowByte(0x1234), 0x34);
    EXPECT_EQ(LowByte(-1), 255);
    EXPECT_EQ(LowByte(256), 0);

    EXPECT_EQ(HexDigitValue("F"), 15);
    EXPECT_EQ(HexDigitValue("A"), 10);
    EXPECT_EQ(HexDigitValue("0"), 0);
    EXPECT_EQ(HexDigitValue("9"), 9);
    EXPECT_EQ(HexDigitValue("a"), -1);
    EXPECT_EQ(HexDigitValue("G"), -1);
    EXPECT_EQ(HexDigitValue("10"), -1);
    EXPECT_EQ(HexDigitValue(""), -1);

    EXPECT_TRUE(IsDigits(""));
    EXPECT_TRUE(IsDigits("0123456789"));
    EXPECT_FALSE(IsDigits("12a"));
    EXPECT_FALSE(IsDigits("-5"));
    EXPECT_FALSE(IsDigits("1.5"));
    EXPECT_FALSE(IsDigits(" 1"));
}

TEST(NumberUtils, RoundsHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(RoundHalfEven(2.4999), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5001), 3.0);
    EXPECT_EQ(RoundHalfEven(-2.6), -3.0);
}

TEST(AlertBoxes, IconFollowsTheKindAndOtherKindsShowNothing) {
    RecordingOperator op;
    AlertBox(op, "Erreur", "nothing", 0);
    AlertBox(op, "Erreur", "nothing", 4);
    EXPECT_TRUE(op.boxes.empty());

    AlertBox(op, "Info", "i", kAlertInformation);
    AlertBox(op, "Attention", "e", kAlertExclamation);
    AlertBox(op, "Erreur", "c", kAlertCritical);
    AlertBox2(op, "Erreur", "ligne 1", "ligne 2", kAlertExclamation);
    ASSERT_EQ(op.boxes.size(), 4u);
    EXPECT_EQ(op.boxes[0].icon, MessageIcon::Information);
    EXPECT_EQ(op.boxes[1].icon, MessageIcon::Exclamation);
    EXPECT_EQ(op.boxes[2].icon, MessageIcon::Critical);
    EXPECT_EQ(op.boxes[2].title, "Erreur");
    EXPECT_EQ(op.boxes[3].text, "ligne 1\nligne 2");
    for (const auto& box : op.boxes) {
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
    }
}

}  // namespace
}  // namespace axo
