// The cheap services: strings, maths, random numbers, sorting and hashing.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "engine_support.hpp"

using namespace engine_test;

// Guards against padding on the wrong side, a lost sign or a wrong number of decimals.
TEST(EngineBasics, NumbersBecomeTextAndBack) {
    Sandbox box;
    Api& e = Engine();
    EXPECT_STREQ(e.IToS(7, 3), "007");
    EXPECT_STREQ(e.IToS(-5, 3), "-005");
    EXPECT_STREQ(e.IToS(12345, 0), "12345");
    EXPECT_STREQ(e.IToSF(42, 5), "   42");
    EXPECT_STREQ(e.FToS(3.14159, 2), "3.14");
    EXPECT_STREQ(e.FToSF(2.5, 6, 1), "   2.5");
    EXPECT_EQ(e.SToI("  12abc"), 12);
    EXPECT_EQ(e.SToI("-40"), -40);
    EXPECT_DOUBLE_EQ(e.SToF("2.75"), 2.75);
}

// Guards against maths that differs from the usual functions the game relies on.
TEST(EngineBasics, MathsFollowsTheUsualDefinitions) {
    Sandbox box;
    Api& e = Engine();
    EXPECT_DOUBLE_EQ(e.Mod(-7, 3), -1);  // sign of x, like fmod
    EXPECT_DOUBLE_EQ(e.Mod(7.5, 2), 1.5);
    EXPECT_DOUBLE_EQ(e.InvRot(0, 1), M_PI / 2);  // Cos, Sin of it point along (x, y)
    EXPECT_DOUBLE_EQ(e.InvRot(-1, 0), M_PI);
    EXPECT_DOUBLE_EQ(e.Hypot(3, 4), 5);
    EXPECT_EQ(e.PowI(3, 4), 81);
    EXPECT_EQ(e.PowI(-2, 3), -8);
    EXPECT_EQ(e.PowI(5, 0), 1);
    double x = 1, y = 0;
    e.Rot(&x, &y, M_PI / 2);  // clockwise on screen: +x turns to +y
    EXPECT_NEAR(x, 0, 1e-12);
    EXPECT_NEAR(y, 1, 1e-12);
    double v = 0;
    EXPECT_FALSE(e.Chase(&v, 1, 0.4));
    EXPECT_FALSE(e.Chase(&v, 1, 0.4));
    EXPECT_TRUE(e.Chase(&v, 1, 0.4));
    EXPECT_EQ(v, 1);
}

// Guards against a range that misses an end, a biased float range or generators that interfere.
TEST(EngineBasics, RandomNumbersCoverTheirRange) {
    Sandbox box;
    Api& e = Engine();
    std::set<int64_t> seen;
    for (int i = 0; i < 2000; ++i) {
        int64_t r = e.Rnd(-2, 2);
        ASSERT_GE(r, -2);
        ASSERT_LE(r, 2);
        seen.insert(r);
        double f = e.RndF(1.0, 2.0);
        ASSERT_GE(f, 1.0);
        ASSERT_LT(f, 2.0);
    }
    EXPECT_EQ(seen.size(), 5u);
    BriselRng* a = e.MakeRndSeed(99);
    BriselRng* b = e.MakeRndSeed(99);
    for (int i = 0; i < 10; ++i) {
        int64_t first = e.GetRnd(a, 0, 1000000);
        e.Rnd(0, 10);  // the main generator does not disturb the seeded ones
        EXPECT_EQ(e.GetRnd(b, 0, 1000000), first);
    }
    e.FreeMem(a);
    e.FreeMem(b);
}

// Guards against a sort that is not stable or not in order, and comparators of the wrong width.
TEST(EngineBasics, SortingReversingShufflingAndComparing) {
    Sandbox box;
    Api& e = Engine();
    struct Item {
        int64_t key;
        int64_t order;
    };
    Item items[] = {{3, 0}, {1, 1}, {3, 2}, {0, 3}, {1, 4}};
    e.Sort(items, 5, sizeof(Item), e.CmpInt);  // compares the leading int64_t
    int64_t keys[5], orders[5];
    for (int i = 0; i < 5; ++i) {
        keys[i] = items[i].key;
        orders[i] = items[i].order;
    }
    EXPECT_EQ(std::vector<int64_t>(keys, keys + 5), (std::vector<int64_t>{0, 1, 1, 3, 3}));
    EXPECT_EQ(std::vector<int64_t>(orders, orders + 5), (std::vector<int64_t>{3, 1, 4, 0, 2}));

    const char* words[] = {"pear", "apple", "fig"};
    e.Sort(words, 3, sizeof(const char*), e.CmpStr);
    EXPECT_STREQ(words[0], "apple");
    EXPECT_STREQ(words[2], "pear");
    e.Reverse(words, 3, sizeof(const char*));
    EXPECT_STREQ(words[0], "pear");

    int64_t deck[52];
    for (int i = 0; i < 52; ++i) deck[i] = i;
    e.Shuffle(deck, 52, sizeof(int64_t));
    std::set<int64_t> cards(deck, deck + 52);
    EXPECT_EQ(cards.size(), 52u);

    uint8_t b1 = 200, b2 = 100;  // unsigned: 200 > 100
    EXPECT_EQ(e.CmpByte8(&b1, &b2), 1);
    uint32_t w1 = 0x80000000u, w2 = 1;
    EXPECT_EQ(e.CmpByte32(&w1, &w2), 1);
    double f1 = -0.5, f2 = 0.25;
    EXPECT_EQ(e.CmpFloat(&f1, &f2), -1);
    EXPECT_EQ(Failure([&] { e.Sort(nullptr, 3, 8, e.CmpInt); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
}

// Guards against a hash other than 64-bit FNV-1a (saved values would stop matching).
TEST(EngineBasics, HashIsFnv1a64) {
    Sandbox box;
    Api& e = Engine();
    EXPECT_EQ(uint64_t(e.MakeHash("", 0)), 0xCBF29CE484222325ull);
    EXPECT_EQ(uint64_t(e.MakeHash("a", 1)), 0xAF63DC4C8601EC8Cull);
    EXPECT_EQ(uint64_t(e.MakeHash("foobar", 6)), 0x85944171F73967E8ull);
}
