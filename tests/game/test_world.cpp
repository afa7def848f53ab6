#include "game/game_state.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
struct WorldTest : ::testing::Test {
  void SetUp() override {
    game_state_reset();
    build_world();
  }
  std::vector<Entity*> entities() {
    std::vector<Entity*> out;
    for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e))
      out.push_back(e);
    return out;
  }
};

// Creation index of an entity, from its unique start position and kind.
int creation_index(const Entity* e) {
  const float xs[] = {100, 1580, 2480, 3600, 3550, 3550, 4020, 3100,
                      0,   4830, 4800, 5100, 5618, 5600, 6100};
  for (int i = 0; i < 15; i++) {
    if (e->x != xs[i]) continue;
    if (i == 4 || i == 5) return e->depth < 0 ? 4 : 5; // both trees stand at 3550
    return i;
  }
  return -1;
}
} // namespace

TEST_F(WorldTest, EntitiesAreInDrawingOrder) {
  std::vector<int> order;
  for (Entity* e : entities()) order.push_back(creation_index(e));
  EXPECT_EQ(order, (std::vector<int>{1, 4, 6, 10, 13, 3, 8, 12, 14, 0, 9, 5, 2, 7, 11}));
  for (size_t i = 1; i < order.size(); i++)
    EXPECT_LE(entities()[i - 1]->depth, entities()[i]->depth);
}

TEST_F(WorldTest, SevenDiscoveriesInOrder) {
  std::vector<int> ids;
  std::vector<float> xs;
  for (Discovery* d = (Discovery*)list_first(&game.discoveries); d; d = (Discovery*)list_next(d)) {
    ids.push_back(d->id);
    xs.push_back(d->x);
  }
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(xs, (std::vector<float>{2672, 0, 0, 4840, 5700, 0, 0}));
  Discovery* first = (Discovery*)list_first(&game.discoveries);
  EXPECT_STREQ(first->caption, "|FFFFFF\\You have discovered|00FFFF\\SUNLIGHT");
}

TEST_F(WorldTest, ReferencesFormThePuzzleChain) {
  Entity* by_index[15] = {};
  for (Entity* e : entities()) by_index[creation_index(e)] = e;
  EXPECT_EQ(game.player, by_index[0]);
  EXPECT_EQ(game.monster, by_index[12]);
  EXPECT_EQ(game.girl, by_index[14]);
  EXPECT_EQ(by_index[5]->linked, by_index[4]);   // standing tree shows the fallen one
  EXPECT_EQ(by_index[4]->linked, by_index[3]);   // fallen tree shows the twigs
  EXPECT_EQ(by_index[9]->revealed, by_index[8]); // the man drops the glass
  EXPECT_EQ(by_index[13]->linked, by_index[12]); // the frozen animal releases the monster
  EXPECT_EQ(by_index[3]->discovery->id, 2);
  EXPECT_EQ(by_index[8]->discovery->id, 3);
  EXPECT_EQ(by_index[13]->discovery->id, 6);
  EXPECT_EQ(by_index[14]->discovery->id, 7);
  // max_health copies health, so negating a hidden one shows it at full strength.
  EXPECT_EQ(by_index[4]->max_health, -40);
  EXPECT_EQ(by_index[3]->max_health, -10);
  EXPECT_EQ(by_index[12]->max_health, -65);
}

TEST_F(WorldTest, WithoutSpritesNothingHasASize) {
  for (Entity* e : entities()) {
    EXPECT_EQ(e->width, 0.0f);
    EXPECT_EQ(e->height, 0.0f);
  }
}

TEST_F(WorldTest, ResetFreesTheOldWorld) {
  game_state_reset();
  EXPECT_EQ(game.entities.count, 0);
  EXPECT_EQ(game.discoveries.count, 0);
  build_world();
  EXPECT_EQ(game.entities.count, 15);
}
