#include "core/bindings/labels.hpp"

namespace thumbrover {

// Chosen by the build for every platform but macOS.
const PlatformLabels& native_labels() {
    return linux_labels();
}

}  // namespace thumbrover
