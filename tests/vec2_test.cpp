// Vec2: the vector every position and motion is kept in.
#include <gtest/gtest.h>

#include "common/vec2.hpp"
#include "fake/fake_engine.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

TEST(Vec2Test, NormalizeGivesUnitLengthAndLeavesZeroAlone) {
    // Guards against a division by zero (NaN positions) for a vector without direction.
    FakeEngine fake;
    Vec2 v(3, 4);
    EXPECT_DOUBLE_EQ(v.Len(), 5.0);
    EXPECT_DOUBLE_EQ(v.LenSq(), 25.0);
    v.Normalize();
    EXPECT_DOUBLE_EQ(v.GetX(), 0.6);
    EXPECT_DOUBLE_EQ(v.GetY(), 0.8);

    Vec2 zero;
    zero.Normalize();
    EXPECT_EQ(zero.GetX(), 0.0);
    EXPECT_EQ(zero.GetY(), 0.0);
    Vec2 n = Normalized(zero);
    EXPECT_EQ(n.GetX(), 0.0);
    EXPECT_EQ(n.GetY(), 0.0);
}

TEST(Vec2Test, NormalizedReturnsAnIndependentCopy) {
    // Guards against the source vector being changed through the result.
    FakeEngine fake;
    Vec2 v(0, -10);
    Vec2 n = Normalized(v);
    EXPECT_DOUBLE_EQ(n.GetY(), -1.0);
    n.Set(7, 7);
    EXPECT_EQ(v.GetX(), 0.0);
    EXPECT_EQ(v.GetY(), -10.0);
}

TEST(Vec2Test, ComponentOperations) {
    FakeEngine fake;
    Vec2 v(2, -3);
    v.Mul(-1);
    EXPECT_EQ(v.GetX(), -2.0);
    EXPECT_EQ(v.GetY(), 3.0);
    v.Add(5, 0);  // only x changes, as AddX would
    EXPECT_EQ(v.GetX(), 3.0);
    EXPECT_EQ(v.GetY(), 3.0);
    v.AddY(-1);
    v.SetX(9);
    EXPECT_EQ(v.GetX(), 9.0);
    EXPECT_EQ(v.GetY(), 2.0);
    v.Mul(0);
    EXPECT_EQ(v.LenSq(), 0.0);
}

TEST(Vec2Test, LengthGoesThroughTheEngine) {
    // Every build takes its roots from the engine, so runs compute the same values.
    FakeEngine fake;
    fake.recordMaths = true;
    Vec2 v(6, 8);
    EXPECT_DOUBLE_EQ(v.Len(), 10.0);
    auto roots = fake.Named("Sqrt");
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0].args[0], 100.0);
}

}  // namespace
}  // namespace grappix
