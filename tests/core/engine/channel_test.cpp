#include "core/engine/channel.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/link.hpp"

namespace thumbrover {
namespace {

using std::chrono::nanoseconds;

TEST(Channel, DeliversInOrderFromCopiedSenders) {
    auto [tx, rx] = make_channel<int>();
    const Sender<int> other = tx;
    EXPECT_TRUE(tx.send(1));
    EXPECT_TRUE(other.send(2));
    EXPECT_TRUE(tx.send(3));
    EXPECT_EQ(rx.recv_for(nanoseconds(0)), 1);
    EXPECT_EQ(rx.try_recv(), 2);
    EXPECT_EQ(rx.recv_for(nanoseconds(0)), 3);
    EXPECT_EQ(rx.try_recv(), std::nullopt);
    EXPECT_EQ(rx.recv_for(nanoseconds(1000)), std::nullopt);
}

TEST(Channel, SendFailsOnceTheReceiverIsGoneAndFreesWhatWasQueued) {
    auto [tx, rx] = make_channel<std::shared_ptr<int>>();
    auto payload = std::make_shared<int>(7);
    EXPECT_TRUE(tx.send(payload));
    EXPECT_EQ(payload.use_count(), 2);
    { auto dropped = std::move(rx); }
    EXPECT_EQ(payload.use_count(), 1);
    EXPECT_FALSE(tx.send(payload));
    EXPECT_FALSE(Sender<int>().send(1));
    EXPECT_EQ(Receiver<int>().try_recv(), std::nullopt);
}

TEST(Channel, ManyThreadsSendWithoutLossAndEachThreadsOrderHolds) {
    auto [tx, rx] = make_channel<std::pair<int, int>>();
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([tx = tx, t] {
            for (int i = 0; i < kEach; ++i)
                tx.send({t, i});
        });
    }
    std::vector<int> next(kThreads, 0);
    for (int received = 0; received < kThreads * kEach; ++received) {
        auto message = rx.recv_for(std::chrono::seconds(10));
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->second, next[static_cast<size_t>(message->first)]++);
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(rx.try_recv(), std::nullopt);
}

TEST(Channel, WaitingReceiverWakesForAMessageFromAnotherThread) {
    auto [tx, rx] = make_channel<std::string>();
    std::thread sender([tx = tx] { tx.send("hello"); });
    // The generous limit only bounds a broken build; the message normally arrives at once.
    EXPECT_EQ(rx.recv_for(std::chrono::seconds(30)), "hello");
    sender.join();
}

TEST(Channel, AReceiverWithoutATimeoutWaitsForTheNextMessage) {
    auto [tx, rx] = make_channel<int>();
    std::thread sender([tx = tx] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        tx.send(5);
    });
    EXPECT_EQ(rx.recv(std::nullopt), 5);
    sender.join();
    EXPECT_EQ(rx.recv(nanoseconds(0)), std::nullopt);
}

TEST(Channel, TheListenerHearsEverySendAfterItIsSetAndNoneAfterTheReceiverIsGone) {
    auto [tx, rx] = make_channel<int>();
    int heard = 0;
    tx.send(1);
    rx.set_listener([&heard] { ++heard; });
    tx.send(2);
    const Sender<int> copy = tx;
    copy.send(3);
    EXPECT_EQ(heard, 2);
    { auto dropped = std::move(rx); }
    EXPECT_FALSE(tx.send(4));
    EXPECT_EQ(heard, 2);
}

TEST(EngineLink, CountsEveryChangeAndForgetsTheBatteryOnDisconnect) {
    EngineLink link(EngineSender{}, false);
    EXPECT_EQ(link.change_count(), 1u);
    EXPECT_EQ(link.status(), (EngineStatus{std::nullopt, false, false, std::nullopt}));

    link.set_connected(true);
    link.set_battery("Full");
    link.set_enabled(true);
    EXPECT_EQ(link.change_count(), 4u);
    EXPECT_EQ(link.status(), (EngineStatus{"Full", true, true, std::nullopt}));

    link.set_connected(false);
    EXPECT_EQ(link.change_count(), 5u);
    EXPECT_EQ(link.status(), (EngineStatus{std::nullopt, true, false, std::nullopt}));
}

TEST(EngineLink, PublicationIsSetOnce) {
    auto first = std::make_shared<EngineLink>(EngineSender{}, true);
    auto second = std::make_shared<EngineLink>(EngineSender{}, false);
    EXPECT_EQ(published_engine_link(), nullptr);
    EXPECT_FALSE(publish_engine_link(nullptr));
    EXPECT_TRUE(publish_engine_link(first));
    EXPECT_FALSE(publish_engine_link(second));
    EXPECT_EQ(published_engine_link(), first.get());
    first.reset();
    EXPECT_TRUE(published_engine_link()->status().enabled);
}

}  // namespace
}  // namespace thumbrover
