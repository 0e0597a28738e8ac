#include "framework/Lifetime.h"

#include <gtest/gtest.h>

#include <memory>

namespace evesk {
namespace {

struct TOwner {
  TLifetime Life;
};

TEST(Lifetime, AWatchOutlivesItsObjectAndThenSaysGone) {
  auto owner = std::make_unique<TOwner>();
  const TLifeWatch watch = owner->Life.Watch();
  const TLifeWatch copy = watch;
  EXPECT_TRUE(watch.Alive());
  owner.reset();
  EXPECT_FALSE(watch.Alive());
  EXPECT_FALSE(copy);
}

TEST(Lifetime, EndingEarlyIsSeenAtOnceAndIsIdempotent) {
  TOwner owner;
  const TLifeWatch before = owner.Life.Watch();
  owner.Life.End();
  owner.Life.End();
  EXPECT_FALSE(before.Alive());
  EXPECT_FALSE(owner.Life.Watch().Alive());  // a watch taken after the end is not alive either
  EXPECT_FALSE(TLifeWatch().Alive());
}

}  // namespace
}  // namespace evesk
