#include "combat/work_states.h"

#include <functional>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "support/test_world.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

enum class Op { Turn, Aim, Fire, PointFire, Move };

struct Case {
    const char* label;
    Op op;
    std::initializer_list<std::uint8_t> animations; // codes the type has
    std::uint32_t upright;
    std::uint8_t numWork;
    std::uint8_t nextWork;
    std::uint8_t wantNumWork;
    std::uint8_t wantNextWork;
};

constexpr std::uint8_t kNone = UNIT_NO_NEXT_WORK;

// The transitions of NumWork and NextWork: one row per rule, each with the type's animations.
// The unit faces its target, so aiming starts no turn.
TEST(WorkStates, TransitionTable)
{
    const Case cases[] = {
        {"turn from standing", Op::Turn, {1, 5}, 0, 1, kNone, 5, kNone},
        {"turn while turning", Op::Turn, {5}, 0, 5, kNone, 5, kNone},
        {"turn from aim via 19", Op::Turn, {6, 19}, 0, 6, kNone, 19, 5},
        {"turn from fire via 9", Op::Turn, {7, 9}, 0, 7, 13, 9, 13},
        {"turn in transition", Op::Turn, {9}, 0, 9, 18, 9, 18},
        {"turn keeps a pending posture", Op::Turn, {}, 0, 6, 18, 5, 18},
        {"aim while aiming", Op::Aim, {18}, 0, 18, kNone, 18, kNone},
        {"aim from fire via 9", Op::Aim, {9}, 0, 7, kNone, 9, 18},
        {"aim walking, 20", Op::Aim, {20, 2}, 0, 8, kNone, 20, kNone},
        {"aim walking, 2", Op::Aim, {2}, 0, 14, kNone, 2, kNone},
        {"aim walking, none", Op::Aim, {}, 0, 1, kNone, 1, kNone},
        {"aim in transition", Op::Aim, {}, 0, 19, 13, 19, 18},
        {"aim standing, 18", Op::Aim, {18, 6}, 1, 3, kNone, 18, kNone},
        {"aim standing, 6", Op::Aim, {6}, 1, 3, kNone, 6, kNone},
        {"fire while firing", Op::Fire, {13}, 0, 13, kNone, 13, kNone},
        {"fire from aim via 19", Op::Fire, {19, 13}, 0, 6, kNone, 19, 13},
        {"fire walking aimed, 21", Op::Fire, {21}, 0, 20, kNone, 21, 13},
        {"fire walking aimed, 14", Op::Fire, {}, 0, 2, kNone, 14, 13},
        {"fire walking low", Op::Fire, {21}, 0, 8, kNone, 14, 13},
        {"fire in transition", Op::Fire, {}, 0, 9, kNone, 9, 13},
        {"fire standing, 13", Op::Fire, {13, 7}, 1, 3, kNone, 13, kNone},
        {"fire standing, 7", Op::Fire, {7}, 1, 3, kNone, 7, kNone},
        {"point fire", Op::PointFire, {22}, 1, 3, kNone, 22, kNone},
        {"point fire walking", Op::PointFire, {22, 21}, 0, 21, kNone, 21, 22},
        {"point fire from fire via 9", Op::PointFire, {22, 9}, 0, 7, kNone, 9, 22},
        {"point fire without 22", Op::PointFire, {}, 1, 3, kNone, 3, kNone},
        {"move low from standing", Op::Move, {8}, 0, 1, kNone, 1, kNone},
        {"move low from upright stand", Op::Move, {8}, 0, 3, kNone, 8, kNone},
        {"move low without 8", Op::Move, {}, 0, 3, kNone, 1, kNone},
        {"move low from aim walking", Op::Move, {21}, 0, 20, kNone, 21, kNone},
        {"move low from walking upright", Op::Move, {}, 0, 14, kNone, 1, kNone},
        {"move low from aim via 19", Op::Move, {19, 8}, 0, 6, kNone, 19, 8},
        {"move upright walking", Op::Move, {}, 1, 0, kNone, 0, kNone},
        {"move upright keeps 14", Op::Move, {}, 1, 14, kNone, 14, 0},
        {"move upright from 2, 21", Op::Move, {21}, 1, 2, kNone, 21, 0},
        {"move upright from stand, 14", Op::Move, {14}, 1, 1, kNone, 14, 0},
        {"move upright from stand, 0", Op::Move, {}, 1, 1, kNone, 0, kNone},
        {"move upright while turning", Op::Move, {}, 1, 5, kNone, 5, 0},
        {"move upright from fire via 9", Op::Move, {9}, 1, 7, kNone, 9, 0},
        {"move upright from anything", Op::Move, {}, 1, 3, kNone, 0, 0},
    };
    testworld::TestWorld world(30, 60);
    TUnit* u = world.AddUnit(0, testworld::kRifleman, 10, 20);
    ASSERT_NE(u, nullptr);
    TBasicUnit* own = u->Basic;
    TBasicUnit type;
    type.Speed = 1.0f;
    u->Basic = &type;
    for (const Case& c : cases) {
        std::fill(std::begin(type.AnimationSize), std::end(type.AnimationSize), 0);
        for (std::uint8_t a : c.animations)
            type.AnimationSize[a] = 4;
        u->Upright = c.upright;
        u->NumWork = c.numWork;
        u->NextWork = c.nextWork;
        u->NumSprite = 2.5f;
        u->Orient = 6;
        u->WantedOrient = c.op == Op::Turn ? 2 : 6;
        u->AttackUnit = nullptr;
        u->TargetX = u->X + 100.0f;
        u->TargetY = u->Y;
        switch (c.op) {
        case Op::Turn: StartTurn(u); break;
        case Op::Aim: EnterAimWork(u); break;
        case Op::Fire: EnterFireWork(u); break;
        case Op::PointFire: EnterPointFireWork(u, u->X + 100.0f, u->Y); break;
        case Op::Move: SetMoveWork(u); break;
        }
        EXPECT_EQ(u->NumWork, c.wantNumWork) << c.label;
        EXPECT_EQ(u->NextWork, c.wantNextWork) << c.label;
        if (u->NumWork != c.numWork)
            EXPECT_EQ(u->NumSprite, 0.0f) << c.label;
    }
    u->Basic = own;
}

TEST(WorkStates, ShipsNeverTurnAndSlowTypesDoNotWalk)
{
    testworld::TestWorld world(30, 60);
    world.SetWater(10, 20);
    TUnit* ship = world.AddUnit(0, testworld::kDestroyer, 10, 20);
    ASSERT_NE(ship, nullptr);
    ship->NumWork = 1;
    ship->Orient = 0;
    ship->WantedOrient = 4;
    StartTurn(ship);
    EXPECT_EQ(ship->NumWork, 1);
    TUnit* gun = world.AddUnit(0, testworld::kRifleman, 12, 20);
    TBasicUnit* own = gun->Basic;
    TBasicUnit slow;
    slow.Speed = 0.1f;
    gun->Basic = &slow;
    gun->NumWork = 3;
    SetMoveWork(gun);
    EXPECT_EQ(gun->NumWork, 3);
    gun->Basic = own;
}

// A type that can neither fire nor aim stops where it is, drops its path and turns to the facing
// it was given.
TEST(WorkStates, FiringWithoutAnimationsStopsAndFacesItsOrient)
{
    testworld::TestWorld world(30, 60);
    TUnit* u = world.AddUnit(0, testworld::kRifleman, 10, 20);
    ASSERT_NE(u, nullptr);
    TBasicUnit* own = u->Basic;
    TBasicUnit bare;
    bare.Speed = 1.0f;
    u->Basic = &bare;
    u->Upright = 0;
    u->NumWork = 3;
    u->NextWork = kNone;
    u->Orient = 0;
    u->FaceOrient = 4;
    u->Path = new std::uint8_t[3]{1, 2, 3};
    u->PathLength = 3;
    u->PathIndex = 1;
    u->VX = 2.0f;
    u->StepX = u->X + 50.0f;
    u->Halted = 0;
    u->StopAtEnd = 1;
    EnterFireWork(u);
    EXPECT_EQ(u->Path, nullptr);
    EXPECT_EQ(u->PathLength, 0);
    EXPECT_EQ(u->PathIndex, -1);
    EXPECT_EQ(u->VX, 0.0f);
    EXPECT_EQ(u->StepX, u->X);
    EXPECT_EQ(u->GoalY, u->Y);
    EXPECT_EQ(u->Halted, 1);
    EXPECT_EQ(u->StopAtEnd, 0);
    EXPECT_EQ(u->WantedOrient, 4);
    EXPECT_EQ(u->NumWork, ANIM_TURN);
    u->Basic = own;
}

TEST(WorkStates, SiegeHowitzerAimsFromTheUprightStandDirectly)
{
    testworld::TestWorld world(30, 60);
    TUnit* u = world.AddUnit(0, 23, 10, 20);
    ASSERT_NE(u, nullptr);
    u->NumWork = 3;
    u->AttackUnit = nullptr;
    u->TargetX = u->X;
    u->TargetY = u->Y - 100.0f;
    u->Orient = 0;
    EnterAimWork(u);
    EXPECT_EQ(u->NumWork, ANIM_AIM);
    EXPECT_EQ(u->NextWork, kNone);
}

} // namespace
