#pragma once

#include <vector>

#include "core/circle/circle.hpp"

namespace thumbrover::fakes {

class RecordingCircle final : public CircleScaleTarget {
  public:
    std::vector<float> scales;
    void change_circle_scale(float scale) override { scales.push_back(scale); }
};

}  // namespace thumbrover::fakes
