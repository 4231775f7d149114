#include "platform/SyncEvent.h"

#include <gtest/gtest.h>

#include <thread>

namespace kinovex {
namespace {

TEST(SyncEvent, AutoResetLetsOneWaitThroughPerSet) {
    CEvent event(false);
    ASSERT_TRUE(event.IsValid());
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    event.Set(); // two sets before a wait still count once
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(SyncEvent, ManualResetStaysSetUntilReset) {
    CEvent event(true);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(SyncEvent, WaitForEventsReportsWhichOneAndClearsOnlyAutoReset) {
    CEvent notification(false);
    CEvent stop(true);
    EXPECT_EQ(WaitForEvents({&notification, &stop}, 0), kWaitTimeout);
    stop.Set();
    EXPECT_EQ(WaitForEvents({&notification, &stop}, 0), 1);
    EXPECT_EQ(WaitForEvents({&notification, &stop}, 0), 1);
    stop.Reset();
    notification.Set();
    EXPECT_EQ(WaitForEvents({&notification, &stop}, 0), 0);
    EXPECT_EQ(WaitForEvents({&notification, &stop}, 0), kWaitTimeout);
    EXPECT_EQ(WaitForEvents({&notification, nullptr}, 0), kWaitFailed);
}

TEST(SyncEvent, AnotherThreadWakesAWaiterThatWaitsForever) {
    CEvent notification(false);
    CEvent stop(true);
    std::thread setter([&] { stop.Set(); });
    EXPECT_EQ(WaitForEvents({&notification, &stop}), 1);
    setter.join();
}

} // namespace
} // namespace kinovex
