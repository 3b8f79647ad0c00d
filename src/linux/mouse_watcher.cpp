#include "linux/mouse_watcher.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>

namespace thumbrover {
namespace {

constexpr std::chrono::milliseconds kStopLookInterval{100};

bool ends_with(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

bool is_xtest_device_name(std::string_view name) {
    return ends_with(name, "XTEST pointer") || ends_with(name, "XTEST keyboard");
}

bool raw_motion_moves_pointer(std::span<const unsigned char> mask,
                              std::span<const double> raw_values) {
    // Values come in axis order, one for each bit set, so axis 1's is second only after axis 0's.
    std::size_t value = 0;
    for (std::size_t axis = 0; axis < 2 && axis < mask.size() * 8; ++axis) {
        if ((mask[0] & (1u << axis)) == 0) continue;
        if (value >= raw_values.size()) return false;
        if (raw_values[value] != 0.0) return true;
        ++value;
    }
    return false;
}

std::vector<int> devices_to_watch(const std::vector<InputDeviceInfo>& devices) {
    std::vector<int> ids;
    for (const auto& device : devices) {
        if (device.use == InputDeviceInfo::Use::Slave && !is_xtest_device_name(device.name)) {
            ids.push_back(device.id);
        }
    }
    return ids;
}

void MotionSources::learn(const std::vector<InputDeviceInfo>& devices) {
    xtest_.clear();
    for (const auto& device : devices)
        xtest_[device.id] = is_xtest_device_name(device.name);
}

MotionOrigin MotionSources::classify(int device_id, const DeviceLister& list_devices) {
    auto it = xtest_.find(device_id);
    if (it == xtest_.end()) {
        learn(list_devices());
        it = xtest_.try_emplace(device_id, false).first;
    }
    return it->second ? MotionOrigin::Own : MotionOrigin::Real;
}

X11MouseWatcher::X11MouseWatcher() : stop_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void X11MouseWatcher::stop() {
    stopped_.store(true);
    if (!stop_.valid()) return;
    const std::uint64_t one = 1;
    static_cast<void>(::write(stop_.get(), &one, sizeof one));
}

WatchStart X11MouseWatcher::start() {
    // Named so that `top -H` and the running-cost benchmark can tell the threads apart.
    pthread_setname_np(pthread_self(), "mouse-watcher");
    if (stopped_.load()) return WatchStart::Failed;
    auto display = X11Display::open();
    if (!display) {
        if (!x_display_lost()) return WatchStart::NotAllowedYet;
        // The program is ending for it: no waiting line, only the stop to wait for.
        wait_for_stop();
        return WatchStart::Failed;
    }
    Display* d = display->get();
    int event = 0;
    int error = 0;
    if (!XQueryExtension(d, "XInputExtension", &xi_opcode_, &event, &error)) {
        return WatchStart::Failed;
    }
    // From 2.1 on, raw events reach the root window even while another client grabs the pointer
    // (a drag in progress, a game); a 2.0 client would miss the user's mouse exactly then.
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(d, &major, &minor) != Success || major < 2) return WatchStart::Failed;

    unsigned char hierarchy_bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(hierarchy_bits, XI_HierarchyChanged);
    XIEventMask hierarchy{XIAllDevices, sizeof(hierarchy_bits), hierarchy_bits};
    XISelectEvents(d, DefaultRootWindow(d), &hierarchy, 1);
    if (!display->sync_errors()) return WatchStart::Failed;
    display_ = std::move(display).value();
    const std::vector<InputDeviceInfo> devices = list_devices();
    select_devices(devices);
    sources_.learn(devices);
    return WatchStart::Watching;
}

std::optional<MotionOrigin> X11MouseWatcher::next_motion() {
    const Waited waited = wait_motion(std::nullopt);
    if (waited.outcome != Wait::Motion) return std::nullopt;
    return waited.origin;
}

void X11MouseWatcher::wait_for_stop() {
    while (!stopped_.load()) {
        pollfd stop{stop_.get(), POLLIN, 0};
        static_cast<void>(
            ::poll(&stop, stop_.valid() ? 1 : 0, static_cast<int>(kStopLookInterval.count())));
    }
}

X11MouseWatcher::Waited X11MouseWatcher::wait_motion(
    std::optional<std::chrono::milliseconds> timeout) {
    if (!display_) return {};
    Display* d = display_->get();
    const auto deadline =
        std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    for (;;) {
        if (stopped_.load()) return {Wait::Ended};
        while (display_gone_ || XPending(d) == 0) {
            // Without a stop descriptor, the flag is read between bounded waits.
            int wait_ms = stop_.valid() ? -1 : static_cast<int>(kStopLookInterval.count());
            if (timeout) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) return {Wait::TimedOut};
                wait_ms = wait_ms < 0 ? static_cast<int>(left.count())
                                      : std::min(wait_ms, static_cast<int>(left.count()));
            }
            std::array<pollfd, 2> fds{
                {{display_gone_ ? -1 : ConnectionNumber(d), POLLIN, 0}, {stop_.get(), POLLIN, 0}}};
            // Without a stop descriptor only the connection is polled.
            const nfds_t count = stop_.valid() ? 2 : 1;
            const int ready = ::poll(fds.data(), count, wait_ms);
            if (ready < 0 && errno != EINTR) return {Wait::Ended};
            if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR)) != 0) {
                // The display going away ends the program, which then stops this watcher: until
                // then the stream waits rather than end, so the one report is the display's.
                display_gone_ = true;
                report_display_lost();
            }
            if (ready > 0 && count == 2 && fds[1].revents != 0) return {Wait::Ended};
            if (stopped_.load()) return {Wait::Ended};
            if (x_display_lost()) display_gone_ = true;
        }
        XEvent event;
        XNextEvent(d, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xi_opcode_) continue;
        if (!XGetEventData(d, cookie)) continue;
        std::optional<int> source;
        if (cookie->evtype == XI_RawMotion) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            const auto mask_len = static_cast<std::size_t>(std::max(raw->valuators.mask_len, 0));
            std::size_t set = 0;
            for (std::size_t i = 0; i < mask_len; ++i)
                set += static_cast<std::size_t>(std::popcount(raw->valuators.mask[i]));
            if (raw_motion_moves_pointer({raw->valuators.mask, mask_len}, {raw->raw_values, set}))
                source = raw->sourceid;
        } else if (cookie->evtype == XI_HierarchyChanged) {
            const std::vector<InputDeviceInfo> devices = list_devices();
            select_devices(devices);
            sources_.learn(devices);
        }
        XFreeEventData(d, cookie);
        if (!source) continue;
        return {Wait::Motion, sources_.classify(*source, [this] { return list_devices(); })};
    }
}

void X11MouseWatcher::select_devices(const std::vector<InputDeviceInfo>& devices) {
    Display* d = display_->get();
    unsigned char raw_bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(raw_bits, XI_RawMotion);
    // Slaves, not their masters: a master's raw event comes from whichever slave moved it, the
    // program's XTEST device included, and the server would wake us for every one of those.
    // A device that left in the meantime only makes the server answer with an error: it is
    // read here so that it is not taken for a later request's.
    std::vector<XIEventMask> masks;
    for (const int id : devices_to_watch(devices))
        masks.push_back({id, sizeof(raw_bits), raw_bits});
    if (masks.empty()) return;
    XISelectEvents(d, DefaultRootWindow(d), masks.data(), static_cast<int>(masks.size()));
    static_cast<void>(display_->sync_errors());
}

std::vector<InputDeviceInfo> X11MouseWatcher::list_devices() const {
    Display* d = display_->get();
    int count = 0;
    XIDeviceInfo* info = XIQueryDevice(d, XIAllDevices, &count);
    std::vector<InputDeviceInfo> devices;
    for (int i = 0; info != nullptr && i < count; ++i) {
        const int use = info[i].use;
        const InputDeviceInfo::Use role = use == XIMasterPointer || use == XIMasterKeyboard
                                              ? InputDeviceInfo::Use::Master
                                          : use == XIFloatingSlave ? InputDeviceInfo::Use::Floating
                                                                   : InputDeviceInfo::Use::Slave;
        devices.push_back({info[i].deviceid, info[i].name != nullptr ? info[i].name : "", role});
    }
    if (info != nullptr) XIFreeDeviceInfo(info);
    return devices;
}

}  // namespace thumbrover
