#include "astro/utils.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace axo {
namespace {

struct RecordingOperator final : Operator {
    struct Box { std::string title; std::string text; MessageIcon icon; MessageButtons buttons; };
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override {
        boxes.push_back({title, text, icon, buttons});
        return MessageAnswer::Ok;
    }
    void Beep() override {}
    void ProcessPendingEvents() override {}
    std::vector<Box> boxes;
};

TEST(TextAndNumberUtils, CutStripLowByteHexDigitDigitsAndHalvesToEven) {
    const std::pair<std::string, std::string> cuts[] = {
        {CutAtNul(std::string("\0abc", 4)), ""}, {CutAtNul(std::string("ab\0cd", 5)), "ab"}, {CutAtNul("plain"), "plain"},
        {CutAtCr("OK\r\n"), "OK"},              {CutAtCr("no return"), "no return"},
        {StripLeadingSpace("  5"), " 5"},        {StripLeadingSpace(" 5"), "5"},
        {StripLeadingSpace("-5"), "-5"},         {StripLeadingSpace(""), ""}};
    for (const auto& [got, want] : cuts) {
        EXPECT_EQ(got, want);
    }
    EXPECT_EQ(LowByte(0x1234), 0x34);
    EXPECT_EQ(LowByte(-1), 255);
    EXPECT_EQ(LowByte(256), 0);
    for (const auto& [text, value] : std::vector<std::pair<std::string, int>>{
             {"F", 15}, {"A", 10}, {"0", 0}, {"9", 9}, {"a", -1}, {"G", -1}, {"10", -1}, {"", -1}}) {
        EXPECT_EQ(HexDigitValue(text), value) << text;
    }
    for (const auto& [text, digits] : std::vector<std::pair<std::string, bool>>{
             {"", true}, {"0123456789", true}, {"12a", false}, {"-5", false}, {"1.5", false}, {" 1", false}}) {
        EXPECT_EQ(IsDigits(text), digits) << text;
    }
    for (const auto& [x, r] : std::vector<std::pair<double, double>>{
             {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3}}) {
        EXPECT_EQ(RoundHalfEven(x), r) << x;
    }
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
