#include "macos/news_relay.hpp"

namespace thumbrover {

void NewsRelay::announce(ControllerNews news) {
    // Held while calling, so that `stop` cannot destroy the function under a running call.
    std::lock_guard lock(mutex_);
    if (news_) news_(news);
}

void NewsRelay::stop() {
    std::function<void(ControllerNews)> ended;
    {
        std::lock_guard lock(mutex_);
        ended.swap(news_);
    }
}

}  // namespace thumbrover
