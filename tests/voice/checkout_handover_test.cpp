// The checkout hands its announcements to the voice: the change expression
// after a finished sale, "+" and the amount after an accepted item.

#include <gtest/gtest.h>

#include "tests/checkout/fixture.h"

namespace tovrin {
namespace {

using namespace test;

class CheckoutVoiceTest : public ::testing::Test, protected CheckoutFixture {
protected:
    QStringList runOut(FakeTimer& timer) {
        for (int i = 0; i < 100 && timer.tick(); ++i) {
        }
        return sound.played;
    }
};

TEST_F(CheckoutVoiceTest, FinishedSaleStartsTheChangeAnnouncer) {
    prompts.answer({true});
    form.set(QStringLiteral("100"), QStringLiteral("85.5"), QStringLiteral("100"), QStringLiteral("1"));
    checkout.Command1_0_Click();
    EXPECT_FALSE(prompts.ranOutOfAnswers);
    EXPECT_EQ(voice.equaltime2(), QStringLiteral("100j85.5=14.5"));
    EXPECT_TRUE(timer3.enabled);
    EXPECT_FALSE(timer2.enabled);
    EXPECT_TRUE(sound.played.isEmpty()) << "nothing sounds before the first tick";
    EXPECT_EQ(runOut(timer3),
              (QStringList{QStringLiteral("1.wav"), QStringLiteral("0.wav"), QStringLiteral("0.wav"),
                           QStringLiteral("jian.wav"), QStringLiteral("8.wav"), QStringLiteral("5.wav"),
                           QStringLiteral("dot.wav"), QStringLiteral("5.wav"), QStringLiteral("dengyu.wav"),
                           QStringLiteral("1.wav"), QStringLiteral("4.wav"), QStringLiteral("dot.wav"),
                           QStringLiteral("5.wav")}));
    EXPECT_EQ(voice.equal2(), 1);
    EXPECT_TRUE(voice.equaltime2().isEmpty());
    EXPECT_EQ(voice.mfname(), files.folder() + QStringLiteral("/5.wav"));
}

TEST_F(CheckoutVoiceTest, VoiceOffStartsNothing) {
    checkout.setWav(false);
    prompts.answer({true});
    form.set(QStringLiteral("100"), QStringLiteral("85.5"), QStringLiteral("100"), QStringLiteral("1"));
    checkout.Command1_0_Click();
    EXPECT_FALSE(timer3.enabled);
    EXPECT_TRUE(voice.equaltime2().isEmpty());
}

TEST_F(CheckoutVoiceTest, AcceptedItemPlaysPlusThenItsAmount) {
    form.set(QStringLiteral("100"), QStringLiteral("12.5"), QStringLiteral("100"), QStringLiteral("1"));
    ASSERT_TRUE(checkout.Text2_KeyPress(13));
    EXPECT_EQ(sound.played, QStringList{QStringLiteral("jia.wav")});
    EXPECT_EQ(voice.equaltime(), QStringLiteral("12.5"));
    EXPECT_EQ(runOut(timer2),
              (QStringList{QStringLiteral("jia.wav"), QStringLiteral("1.wav"), QStringLiteral("2.wav"),
                           QStringLiteral("dot.wav"), QStringLiteral("5.wav")}));
    EXPECT_FALSE(timer2.enabled);
}

}  // namespace
}  // namespace tovrin
