#include "core/bindings/labels.hpp"

namespace thumbrover {

// Chosen by the build for macOS.
const PlatformLabels& native_labels() {
    return mac_labels();
}

}  // namespace thumbrover
