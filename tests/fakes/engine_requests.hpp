#pragma once

#include <string>
#include <vector>

#include "core/app/engine_requests.hpp"

namespace thumbrover::fakes {

// Keeps the requests in the order they were made ("Toggle", "Quit").
class RecordingEngine final : public EngineRequests {
  public:
    std::vector<std::string> sent;

    void send_toggle() override { sent.emplace_back("Toggle"); }
    void send_quit() override { sent.emplace_back("Quit"); }

    [[nodiscard]] int count(const std::string& request) const {
        int n = 0;
        for (const std::string& s : sent)
            n += s == request ? 1 : 0;
        return n;
    }
};

}  // namespace thumbrover::fakes
