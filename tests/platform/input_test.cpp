#include "platform/input.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

class BufferedMouse : public ::testing::Test {
protected:
    void SetUp() override
    {
        input = plat::InputSystem::Create();
        ASSERT_TRUE(input);
        mouse = input->CreateMouse();
        ASSERT_TRUE(mouse);
        mouse->SetNotifyEvent(&event);
    }

    std::vector<plat::MouseRecord> Drain()
    {
        std::vector<plat::MouseRecord> out;
        plat::MouseRecord r;
        while (mouse->Read(r) == plat::MouseRead::Record)
            out.push_back(r);
        return out;
    }

    std::unique_ptr<plat::InputSystem> input;
    plat::Event event;
    std::unique_ptr<plat::MouseDevice> mouse;
};

} // namespace

TEST_F(BufferedMouse, NothingIsRecordedUntilAcquired)
{
    mouse->AddMotion(5, 5, 1);
    mouse->AddButton(0, true, 2);
    plat::MouseRecord r;
    EXPECT_EQ(mouse->Read(r), plat::MouseRead::NotAcquired);
    EXPECT_FALSE(event.IsSet());

    mouse->Acquire();
    EXPECT_EQ(mouse->Read(r), plat::MouseRead::Empty);
}

TEST_F(BufferedMouse, MotionBecomesSignedAxisRecordsSharingASequence)
{
    mouse->Acquire();
    mouse->AddMotion(-3, 7, 1000);
    mouse->AddMotion(4, 0, 1001);
    mouse->AddButton(1, true, 1002);
    mouse->AddButton(1, false, 1003);
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.IsSet()) << "auto-reset: one wake-up per signal";

    const auto records = Drain();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0].offset, plat::kMouseOfsX);
    EXPECT_EQ(static_cast<std::int32_t>(records[0].data), -3);
    EXPECT_EQ(records[1].offset, plat::kMouseOfsY);
    EXPECT_EQ(static_cast<std::int32_t>(records[1].data), 7);
    EXPECT_EQ(records[0].sequence, records[1].sequence);
    EXPECT_EQ(records[0].timeStamp, 1000u);
    EXPECT_EQ(records[2].offset, plat::kMouseOfsX) << "a motion without y change gives no y record";
    EXPECT_LT(records[1].sequence, records[2].sequence);
    EXPECT_EQ(records[3].offset, plat::kMouseOfsButton1);
    EXPECT_EQ(records[3].data, plat::kMouseButtonPressed);
    EXPECT_EQ(records[4].data, 0u);
    EXPECT_EQ(records[4].timeStamp, 1003u);
}

TEST_F(BufferedMouse, AFullBufferDropsTheOldestRecords)
{
    mouse->Acquire();
    ASSERT_EQ(mouse->BufferSize(), 64u);
    for (int i = 0; i < 70; ++i)
        mouse->AddButton(0, i % 2 == 0, static_cast<std::uint32_t>(i));
    EXPECT_EQ(mouse->Queued(), 64u);
    EXPECT_TRUE(mouse->TakeOverflow());
    EXPECT_FALSE(mouse->TakeOverflow());
    const auto records = Drain();
    ASSERT_EQ(records.size(), 64u);
    EXPECT_EQ(records.front().timeStamp, 6u);
    EXPECT_EQ(records.back().timeStamp, 69u);
    EXPECT_FALSE(mouse->SetBufferSize(0));
}

TEST_F(BufferedMouse, LosingTheFocusDropsTheBufferAndReportsLostInputOnce)
{
    mouse->Acquire();
    mouse->AddMotion(1, 1, 1);
    event.Reset();
    mouse->LoseInput();
    EXPECT_TRUE(event.IsSet()) << "the reader must wake up to re-acquire";
    EXPECT_FALSE(mouse->IsAcquired());
    plat::MouseRecord r;
    EXPECT_EQ(mouse->Read(r), plat::MouseRead::InputLost);
    EXPECT_EQ(mouse->Read(r), plat::MouseRead::NotAcquired);
    mouse->AddMotion(1, 1, 2);
    EXPECT_EQ(mouse->Queued(), 0u);

    mouse->Acquire();
    mouse->AddMotion(2, 0, 3);
    EXPECT_EQ(mouse->Read(r), plat::MouseRead::Record);
    EXPECT_EQ(r.data, 2u);
}

TEST_F(BufferedMouse, OnlyOneSystemMouseAtATime)
{
    EXPECT_FALSE(input->CreateMouse());
    mouse.reset();
    EXPECT_FALSE(plat::InjectMouseMotion(1, 1, 0));
    EXPECT_TRUE(input->CreateMouse());
}

TEST_F(BufferedMouse, SdlEventsOfThePumpBecomeRecords)
{
    mouse->Acquire();
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.timestamp = 500;
    e.motion.xrel = 12;
    e.motion.yrel = -4;
    EXPECT_TRUE(plat::HandleMouseSdlEvent(e));
    e = {};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.timestamp = 510;
    e.button.button = SDL_BUTTON_RIGHT;
    EXPECT_TRUE(plat::HandleMouseSdlEvent(e));
    e = {};
    e.type = SDL_MOUSEBUTTONUP;
    e.button.timestamp = 520;
    e.button.button = SDL_BUTTON_LEFT;
    EXPECT_TRUE(plat::HandleMouseSdlEvent(e));
    e = {};
    e.type = SDL_KEYDOWN;
    EXPECT_FALSE(plat::HandleMouseSdlEvent(e));

    const auto records = Drain();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(static_cast<std::int32_t>(records[0].data), 12);
    EXPECT_EQ(static_cast<std::int32_t>(records[1].data), -4);
    EXPECT_EQ(records[2].offset, plat::kMouseOfsButton1);
    EXPECT_EQ(records[2].data, plat::kMouseButtonPressed);
    EXPECT_EQ(records[3].offset, plat::kMouseOfsButton0);
    EXPECT_EQ(records[3].data, 0u);
    EXPECT_EQ(records[3].timeStamp, 520u);

    e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    EXPECT_TRUE(plat::HandleMouseSdlEvent(e));
    plat::MouseRecord r;
    EXPECT_EQ(mouse->Read(r), plat::MouseRead::InputLost);
}
