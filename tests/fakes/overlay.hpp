#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/overlay.hpp"

namespace thumbrover::fakes {

using Lines = std::vector<std::string>;

class FakeWindow final : public CircleWindow {
  public:
    FakeWindow(Lines& log, int id, std::uint64_t native = 0)
        : log_(log), id_(id), native_(native) {}
    ~FakeWindow() override { log_.push_back("destroy " + std::to_string(id_)); }
    void move_to(ScreenPoint origin) override {
        log_.push_back("move " + std::to_string(origin.x) + "," + std::to_string(origin.y));
    }
    void show() override {
        visible_ = true;
        log_.push_back("show");
    }
    void hide() override {
        visible_ = false;
        log_.push_back("hide");
    }
    bool is_visible() const override { return visible_; }
    void keep_on_top() override { log_.push_back("keep on top"); }
    std::uint64_t native_id() const override { return native_; }

  private:
    Lines& log_;
    int id_;
    std::uint64_t native_;
    bool visible_ = false;
};

class FakeOverlay final : public Overlay {
  public:
    Lines log;
    ScreenPoint pointer{100.0, 200.0};
    std::vector<CircleShape> built;
    // The id windows get; 0 for windows only the main thread can move.
    std::uint64_t native = 0;
    int pointer_queries = 0;
    bool ring = true;

    std::unique_ptr<CircleWindow> build_circle(const CircleShape& shape) override {
        built.push_back(shape);
        log.push_back("build " + std::to_string(shape.side));
        return std::make_unique<FakeWindow>(log, static_cast<int>(built.size()), native);
    }
    ScreenPoint pointer_location() override {
        ++pointer_queries;
        return pointer;
    }
    bool shows_ring() const override { return ring; }
};

class CountingCursor final : public Cursor {
  public:
    int hides = 0;
    int shows = 0;
    void hide() override { ++hides; }
    void show() override { ++shows; }
};

}  // namespace thumbrover::fakes
