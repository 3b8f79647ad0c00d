#pragma once

#include <functional>

#include "core/app/engine_requests.hpp"
#include "core/engine/link.hpp"

namespace thumbrover {

// Requests that travel on the engine link's channel. Before the engine has published its link
// they are dropped, as is a request for an engine that has already ended.
class LinkedEngineRequests final : public EngineRequests {
  public:
    explicit LinkedEngineRequests(
        std::function<const EngineLink*()> engine_link = published_engine_link)
        : engine_link_(std::move(engine_link)) {}

    void send_toggle() override;
    void send_quit() override;

  private:
    std::function<const EngineLink*()> engine_link_;
};

}  // namespace thumbrover
