#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/notifier.hpp"

namespace thumbrover {

// Desktop notifications through the freedesktop notification service on the session bus.
// notify() only queues the message: a worker thread of its own talks to the bus, so a slow or
// missing notification service never holds up the engine or the user interface. When no service
// answers, the heading and body go to standard error instead, so that nothing is lost silently.
class DbusNotifier final : public Notifier {
  public:
    DbusNotifier();
    ~DbusNotifier() override;
    DbusNotifier(const DbusNotifier&) = delete;
    DbusNotifier& operator=(const DbusNotifier&) = delete;

    void notify(std::string_view heading, std::string_view body) override;

    // Waits until every queued notification has been handed to the bus (or reported on standard
    // error).
    void flush() override;

  private:
    struct Message {
        std::string heading;
        std::string body;
    };
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable drained_;
    std::deque<Message> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace thumbrover
