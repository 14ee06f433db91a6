#include "voice/voice.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace tovrin {
namespace {

using test::FakeTimer;
using test::RecordingSound;

class VoiceTest : public ::testing::Test {
protected:
    // Ticks a timer until it stops (at most `limit` ticks); the number of
    // ticks delivered.
    static int runOut(FakeTimer& timer, int limit = 100) {
        int ticks = 0;
        while (ticks < limit && timer.tick()) ++ticks;
        return ticks;
    }
    QStringList clips() const { return sound.played; }

    RecordingSound sound;
    FakeTimer timer2, timer3;
    NumberFormat numbers;
    Voice voice{sound, timer2, timer3, numbers, QStringLiteral("/opt/tovrin")};
};

TEST_F(VoiceTest, TimersArePacedAndIdleAtStart) {
    EXPECT_EQ(timer2.interval, 618);
    EXPECT_EQ(timer3.interval, 618);
    EXPECT_FALSE(timer2.enabled);
    EXPECT_FALSE(timer3.enabled);
    EXPECT_EQ(voice.equal(), 1);
    EXPECT_EQ(voice.equal2(), 1);
    EXPECT_TRUE(voice.equaltime().isEmpty());
    EXPECT_TRUE(voice.equaltime2().isEmpty());
    EXPECT_TRUE(clips().isEmpty());
}

TEST_F(VoiceTest, KeysSelectTheirClipAndMfnameNamesItsPath) {
    const struct {
        QString key;
        QString file;
    } cases[] = {
        {QStringLiteral("fu"), QStringLiteral("fushu.wav")},
        {QStringLiteral("0"), QStringLiteral("0.wav")},
        {QStringLiteral("9"), QStringLiteral("9.wav")},
        {QStringLiteral("+"), QStringLiteral("jia.wav")},
        {QStringLiteral("="), QStringLiteral("dengyu.wav")},
        {QStringLiteral("dot"), QStringLiteral("dot.wav")},
        {QStringLiteral("j"), QStringLiteral("jian.wav")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key.toStdString());
        sound.played.clear();
        voice.fwave(c.key);
        EXPECT_EQ(clips(), QStringList{c.file});
        EXPECT_EQ(voice.mfname(), QStringLiteral("/opt/tovrin/") + c.file);
    }
}

TEST_F(VoiceTest, WaveTakesNumbersAndTexts) {
    voice.wave(3);
    EXPECT_EQ(voice.mfname(), QStringLiteral("/opt/tovrin/3.wav"));
    voice.wave(QStringLiteral("+"));
    EXPECT_EQ(voice.mfname(), QStringLiteral("/opt/tovrin/jia.wav"));
    voice.wave(0);
    EXPECT_EQ(clips(),
              (QStringList{QStringLiteral("3.wav"), QStringLiteral("jia.wav"), QStringLiteral("0.wav")}));
}

TEST_F(VoiceTest, KeysAreComparedExactly) {
    // Neither case nor blanks are forgiven; an unknown key plays nothing and
    // leaves mfname as it was.
    voice.fwave(QStringLiteral("5"));
    for (const char16_t* key : {u"FU", u"Dot", u"J", u" 5", u"5 ", u"", u"10"}) {
        voice.fwave(QString::fromUtf16(key));
    }
    EXPECT_EQ(clips(), QStringList{QStringLiteral("5.wav")});
    EXPECT_EQ(voice.mfname(), QStringLiteral("/opt/tovrin/5.wav"));
}

TEST_F(VoiceTest, CharactersMapToClipsInBothCharacterRoutines) {
    // The characters and what soundeq / soundeq2 play for each ("" = silent).
    const struct {
        const char16_t* character;
        const char* soundeq;
        const char* soundeq2;
    } cases[] = {
        {u"0", "0.wav", "0.wav"},
        {u"7", "7.wav", "7.wav"},
        {u".", "dot.wav", "dot.wav"},
        {u"-", "fushu.wav", "fushu.wav"},
        {u"j", "", "jian.wav"},
        {u"=", "", "dengyu.wav"},
        {u"+", "", ""},
        {u" ", "", ""},
        {u",", "", ""},
        {u"E", "", ""},
        {u"J", "", ""},
        {u"\uff15", "", ""},  // a full-width digit is not a digit here
        {u"12", "", ""},      // longer texts match nothing
        {u"", "", ""},
    };
    for (const auto& c : cases) {
        const QString character = QString::fromUtf16(c.character);
        SCOPED_TRACE(character.toStdString());
        sound.played.clear();
        voice.soundeq(character);
        EXPECT_EQ(clips().join(QLatin1Char(',')), QString::fromUtf8(c.soundeq));
        sound.played.clear();
        voice.soundeq2(character);
        EXPECT_EQ(clips().join(QLatin1Char(',')), QString::fromUtf8(c.soundeq2));
    }
}

TEST_F(VoiceTest, ItemAnnouncerSpeaksANegativeAmountThenStops) {
    voice.startItem(QStringLiteral("-12.5"));
    EXPECT_TRUE(timer2.enabled);
    EXPECT_EQ(runOut(timer2), 6);  // five characters and the stopping tick
    EXPECT_EQ(clips(),
              (QStringList{QStringLiteral("fushu.wav"), QStringLiteral("1.wav"), QStringLiteral("2.wav"),
                           QStringLiteral("dot.wav"), QStringLiteral("5.wav")}));
    EXPECT_FALSE(timer2.enabled);
    EXPECT_EQ(voice.equal(), 1);
    EXPECT_TRUE(voice.equaltime().isEmpty());
}

TEST_F(VoiceTest, ItemAmountFollowsThePlusClip) {
    // What the item entry does: "+" at once, then one character per tick.
    voice.wave(QStringLiteral("+"));
    voice.startItem(QStringLiteral("12.5"));
    EXPECT_EQ(clips(), QStringList{QStringLiteral("jia.wav")});
    const QStringList expected{QStringLiteral("jia.wav"), QStringLiteral("1.wav"), QStringLiteral("2.wav"),
                               QStringLiteral("dot.wav"), QStringLiteral("5.wav")};
    for (int tick = 1; tick <= 4; ++tick) {
        ASSERT_TRUE(timer2.tick());
        EXPECT_EQ(clips(), expected.mid(0, tick + 1));
        EXPECT_EQ(voice.equal(), tick + 1);
    }
    EXPECT_TRUE(timer2.enabled);
    ASSERT_TRUE(timer2.tick());  // the fifth tick finds the end
    EXPECT_EQ(clips(), expected);
    EXPECT_FALSE(timer2.enabled);
    EXPECT_EQ(voice.equal(), 1);
    EXPECT_TRUE(voice.equaltime().isEmpty());
    EXPECT_FALSE(timer3.enabled);
}

TEST_F(VoiceTest, ChangeAnnouncerSpeaksTheChangeExpression) {
    voice.startChange(QStringLiteral("100j85.5=14.5"));
    for (int tick = 1; tick <= 13; ++tick) ASSERT_TRUE(timer3.tick());
    EXPECT_EQ(clips(),
              (QStringList{QStringLiteral("1.wav"), QStringLiteral("0.wav"), QStringLiteral("0.wav"),
                           QStringLiteral("jian.wav"), QStringLiteral("8.wav"), QStringLiteral("5.wav"),
                           QStringLiteral("dot.wav"), QStringLiteral("5.wav"), QStringLiteral("dengyu.wav"),
                           QStringLiteral("1.wav"), QStringLiteral("4.wav"), QStringLiteral("dot.wav"),
                           QStringLiteral("5.wav")}));
    EXPECT_TRUE(timer3.enabled);
    EXPECT_EQ(voice.equal2(), 14);
    ASSERT_TRUE(timer3.tick());  // the fourteenth tick stops it, silently
    EXPECT_EQ(clips().size(), 13);
    EXPECT_FALSE(timer3.enabled);
    EXPECT_EQ(voice.equal2(), 1);
    EXPECT_TRUE(voice.equaltime2().isEmpty());
}

TEST_F(VoiceTest, ItemAnnouncerSpeaksOnlyTheClipsOfSoundeq) {
    // A numeric text may carry blanks and grouping; they tick silently.
    voice.startItem(QStringLiteral(" 1,200 "));
    EXPECT_EQ(runOut(timer2), 8);
    EXPECT_EQ(clips(), (QStringList{QStringLiteral("1.wav"), QStringLiteral("2.wav"), QStringLiteral("0.wav"),
                                    QStringLiteral("0.wav")}));
}

TEST_F(VoiceTest, ChangeAnnouncerHasNoNumericGuard) {
    voice.startChange(QStringLiteral("a-b"));
    EXPECT_EQ(runOut(timer3), 4);
    EXPECT_EQ(clips(), QStringList{QStringLiteral("fushu.wav")});
    EXPECT_FALSE(timer3.enabled);
}

TEST_F(VoiceTest, EmptyOrNonNumericItemTextTicksSilentlyForever) {
    for (const QString& text : {QString(), QStringLiteral("12a"), QStringLiteral("j")}) {
        SCOPED_TRACE(text.toStdString());
        voice.startItem(text);
        EXPECT_EQ(runOut(timer2, 20), 20);
        EXPECT_TRUE(timer2.enabled);
        EXPECT_EQ(voice.equal(), 1);
        EXPECT_EQ(voice.equaltime(), text);
    }
    EXPECT_TRUE(clips().isEmpty());
    // A numeric text given later is spoken from the start and ends it.
    voice.startItem(QStringLiteral("7"));
    EXPECT_EQ(runOut(timer2), 2);
    EXPECT_EQ(clips(), QStringList{QStringLiteral("7.wav")});
    EXPECT_FALSE(timer2.enabled);
}

TEST_F(VoiceTest, EmptyChangeTextStopsAtTheFirstTick) {
    voice.startChange(QString());
    EXPECT_TRUE(timer3.enabled);
    EXPECT_TRUE(timer3.tick());
    EXPECT_FALSE(timer3.enabled);
    EXPECT_EQ(voice.equal2(), 1);
    EXPECT_TRUE(clips().isEmpty());
}

TEST_F(VoiceTest, NewTextWhileSpeakingGoesOnFromThePosition) {
    struct Case {
        const char* name;
        QString first;
        int ticksBefore;
        QString second;
        QStringList clipsAfter;  // clips of the second text, until the stop
        int ticksAfter;          // ticks delivered until the stop
    };
    const Case cases[] = {
        // Two characters of "12.5" spoken; "345.6" goes on at its third.
        {"longer",
         QStringLiteral("12.5"),
         2,
         QStringLiteral("345.6"),
         {QStringLiteral("5.wav"), QStringLiteral("dot.wav"), QStringLiteral("6.wav")},
         4},
        // Position 4 is past "9": the next tick stops without speaking.
        {"shorter", QStringLiteral("123.4"), 3, QStringLiteral("9"), {}, 1},
        // Position 3 of "88" is just past its end.
        {"at the end", QStringLiteral("1234"), 2, QStringLiteral("88"), {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sound.played.clear();
        voice.startItem(c.first);
        for (int i = 0; i < c.ticksBefore; ++i) ASSERT_TRUE(timer2.tick());
        sound.played.clear();
        voice.startItem(c.second);
        EXPECT_EQ(voice.equal(), c.ticksBefore + 1);
        EXPECT_EQ(runOut(timer2), c.ticksAfter);
        EXPECT_EQ(clips(), c.clipsAfter);
        EXPECT_FALSE(timer2.enabled);
        EXPECT_EQ(voice.equal(), 1);
    }

    // The same holds for the change announcer.
    sound.played.clear();
    voice.startChange(QStringLiteral("50j20=30"));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(timer3.tick());
    sound.played.clear();
    voice.startChange(QStringLiteral("100j85.5=14.5"));
    EXPECT_EQ(runOut(timer3), 11);
    EXPECT_EQ(clips().first(), QStringLiteral("jian.wav"));
    EXPECT_EQ(clips().size(), 10);
}

TEST_F(VoiceTest, RewindSendsBothAnnouncersBackToTheirFirstCharacter) {
    voice.startItem(QStringLiteral("34"));
    voice.startChange(QStringLiteral("5j6=7"));
    ASSERT_TRUE(timer2.tick());
    ASSERT_TRUE(timer3.tick());
    ASSERT_TRUE(timer3.tick());
    voice.rewind();
    EXPECT_EQ(voice.equal(), 1);
    EXPECT_EQ(voice.equal2(), 1);
    EXPECT_EQ(voice.equaltime(), QStringLiteral("34"));
    EXPECT_EQ(voice.equaltime2(), QStringLiteral("5j6=7"));
    EXPECT_TRUE(timer2.enabled);
    EXPECT_TRUE(timer3.enabled);
    sound.played.clear();
    ASSERT_TRUE(timer2.tick());
    ASSERT_TRUE(timer3.tick());
    EXPECT_EQ(clips(), (QStringList{QStringLiteral("3.wav"), QStringLiteral("5.wav")}));
}

TEST_F(VoiceTest, TheTwoAnnouncersInterleave) {
    // The change is computed one tick after the last item was added: both
    // timers run, each at its own position.
    voice.wave(QStringLiteral("+"));
    voice.startItem(QStringLiteral("12"));
    timer2.tick();
    voice.startChange(QStringLiteral("20j12=8"));
    // Timer2 fires first in each round; they are independent timers.
    for (int round = 0; round < 3; ++round) {
        timer2.tick();
        timer3.tick();
    }
    EXPECT_EQ(clips(),
              (QStringList{QStringLiteral("jia.wav"), QStringLiteral("1.wav"), QStringLiteral("2.wav"),
                           QStringLiteral("2.wav"), QStringLiteral("0.wav"), QStringLiteral("jian.wav")}));
    EXPECT_FALSE(timer2.enabled);
    EXPECT_EQ(voice.equal(), 1);
    EXPECT_TRUE(timer3.enabled);
    EXPECT_EQ(voice.equal2(), 4);
    EXPECT_EQ(runOut(timer3), 5);
    EXPECT_EQ(clips().mid(6), (QStringList{QStringLiteral("1.wav"), QStringLiteral("2.wav"),
                                           QStringLiteral("dengyu.wav"), QStringLiteral("8.wav")}));
}

}  // namespace
}  // namespace tovrin
