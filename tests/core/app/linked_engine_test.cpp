#include "core/app/linked_engine.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <variant>

#include "core/engine/messages.hpp"

namespace thumbrover {
namespace {

TEST(LinkedEngineRequests, RequestsAreDroppedUntilTheLinkExistsThenSentInOrder) {
    auto [sender, receiver] = make_channel<EngineMessage>();
    std::unique_ptr<EngineLink> link;
    LinkedEngineRequests engine([&link]() -> const EngineLink* { return link.get(); });

    engine.send_toggle();
    engine.send_quit();
    link = std::make_unique<EngineLink>(sender, true);
    EXPECT_FALSE(receiver.try_recv().has_value());

    engine.send_toggle();
    engine.send_quit();
    auto first = receiver.try_recv();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(std::get<InputEvent>(first->payload), InputEvent::toggle());
    auto second = receiver.try_recv();
    ASSERT_TRUE(second.has_value());
    EXPECT_TRUE(std::holds_alternative<QuitMessage>(second->payload));
    EXPECT_FALSE(receiver.try_recv().has_value());
}

TEST(LinkedEngineRequests, AnEngineThatHasEndedIsIgnored) {
    auto [sender, receiver] = make_channel<EngineMessage>();
    const EngineLink link(sender, true);
    { [[maybe_unused]] const EngineReceiver gone = std::move(receiver); }
    LinkedEngineRequests engine([&link]() -> const EngineLink* { return &link; });
    engine.send_toggle();
    engine.send_quit();
    EXPECT_FALSE(sender.send(EngineMessage::quit()));
}

}  // namespace
}  // namespace thumbrover
