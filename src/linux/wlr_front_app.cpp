#include "linux/wlr_front_app.hpp"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <list>
#include <memory>

#include "core/common/diag.hpp"
#include "linux/desktop_names.hpp"
#include "linux/front_app.hpp"
#include "wlr-foreign-toplevel-client-protocol.h"

namespace thumbrover {
namespace {

// What the protocol's third version adds (a window's parent) is not needed, but its event must
// be listened to once it is bound.
constexpr std::uint32_t kManagerVersion = 3;

struct DisplayCloser {
    void operator()(wl_display* display) const noexcept { wl_display_disconnect(display); }
};
using DisplayPtr = std::unique_ptr<wl_display, DisplayCloser>;

DisplayPtr connect(const std::string& name) {
    return DisplayPtr(wl_display_connect(name.empty() ? nullptr : name.c_str()));
}

class WindowList;

struct Toplevel {
    WindowList* list = nullptr;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    std::string app_id;
    std::string pending_app_id;
    bool activated = false;
    bool pending_activated = false;
    // When it was last activated, to tell the latest where several seats each have one.
    std::uint64_t activated_at = 0;
};

// One connection's view of the compositor's windows. The listeners run inside the dispatch of
// the thread that owns it.
class WindowList {
  public:
    explicit WindowList(DisplayPtr display) : display_(std::move(display)) {
        registry_ = wl_display_get_registry(display_.get());
        wl_registry_add_listener(registry_, &kRegistryListener, this);
    }
    ~WindowList() {
        for (Toplevel& t : toplevels_)
            zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
        if (manager_ != nullptr) zwlr_foreign_toplevel_manager_v1_destroy(manager_);
        wl_registry_destroy(registry_);
    }
    WindowList(const WindowList&) = delete;
    WindowList& operator=(const WindowList&) = delete;

    // Learns the globals and, where the manager is among them, the windows as they are now.
    [[nodiscard]] bool start() {
        if (wl_display_roundtrip(display_.get()) < 0 || manager_ == nullptr) return false;
        // The first lists the windows, the second brings what the new handles state.
        return wl_display_roundtrip(display_.get()) >= 0 &&
               wl_display_roundtrip(display_.get()) >= 0;
    }
    [[nodiscard]] wl_display* display() const { return display_.get(); }
    [[nodiscard]] bool listing() const { return manager_ != nullptr; }

    // The identity of the activated window latest activated; empty when none is.
    [[nodiscard]] std::string front() const {
        const Toplevel* best = nullptr;
        for (const Toplevel& t : toplevels_)
            if (t.activated && (best == nullptr || t.activated_at > best->activated_at)) best = &t;
        return best != nullptr ? app_id_of_class(best->app_id) : std::string();
    }
    [[nodiscard]] std::vector<std::string> ids() const {
        std::vector<std::string> ids;
        ids.reserve(toplevels_.size());
        for (const Toplevel& t : toplevels_)
            ids.push_back(app_id_of_class(t.app_id));
        return ids;
    }

  private:
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version) {
        auto* self = static_cast<WindowList*>(data);
        if (self->manager_ != nullptr ||
            std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) != 0)
            return;
        self->manager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                             std::min(version, kManagerVersion)));
        zwlr_foreign_toplevel_manager_v1_add_listener(self->manager_, &kManagerListener, self);
    }
    static void global_remove(void*, wl_registry*, std::uint32_t) {}

    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                         zwlr_foreign_toplevel_handle_v1* handle) {
        auto* self = static_cast<WindowList*>(data);
        // A list keeps its elements in place, so the listener's pointer stays good.
        Toplevel& t = self->toplevels_.emplace_back();
        t.list = self;
        t.handle = handle;
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, &t);
    }
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1* manager) {
        auto* self = static_cast<WindowList*>(data);
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        self->manager_ = nullptr;
    }

    static void title(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
    static void app_id(void* data, zwlr_foreign_toplevel_handle_v1*, const char* id) {
        static_cast<Toplevel*>(data)->pending_app_id = id != nullptr ? id : "";
    }
    static void output_enter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void output_leave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        auto* t = static_cast<Toplevel*>(data);
        const std::size_t count = states->size / sizeof(std::uint32_t);
        std::vector<std::uint32_t> values(count);
        if (count > 0) std::memcpy(values.data(), states->data, count * sizeof(std::uint32_t));
        t->pending_activated =
            std::find(values.begin(), values.end(),
                      ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) != values.end();
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1*) {
        auto* t = static_cast<Toplevel*>(data);
        if (t->pending_activated && !t->activated) t->activated_at = ++t->list->activations_;
        t->activated = t->pending_activated;
        t->app_id = t->pending_app_id;
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* t = static_cast<Toplevel*>(data);
        WindowList* self = t->list;
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        self->toplevels_.remove_if([&](const Toplevel& each) { return &each == t; });
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static constexpr wl_registry_listener kRegistryListener = {global, global_remove};
    static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {toplevel,
                                                                                   finished};
    static constexpr zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {
        title, app_id, output_enter, output_leave, state, done, closed, parent};

    DisplayPtr display_;
    wl_registry* registry_ = nullptr;
    zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
    std::list<Toplevel> toplevels_;
    std::uint64_t activations_ = 0;
};

// Reads and handles what the compositor sends until `stop_fd` is written or the connection
// ends; false when it ended.
bool dispatch_until_stopped(wl_display* d, int stop_fd, const std::function<void()>& after) {
    for (;;) {
        while (wl_display_prepare_read(d) != 0) {
            if (wl_display_dispatch_pending(d) < 0) return false;
        }
        if (wl_display_flush(d) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(d);
            return false;
        }
        std::array<pollfd, 2> fds{{{wl_display_get_fd(d), POLLIN, 0}, {stop_fd, POLLIN, 0}}};
        const int ready = ::poll(fds.data(), fds.size(), -1);
        if (ready < 0 && errno == EINTR) {
            wl_display_cancel_read(d);
            continue;
        }
        if (ready < 0 || fds[1].revents != 0) {
            wl_display_cancel_read(d);
            return true;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            if (wl_display_read_events(d) < 0) return false;
        } else {
            wl_display_cancel_read(d);
            if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) return false;
        }
        if (wl_display_dispatch_pending(d) < 0) return false;
        after();
    }
}

void follow(WindowList& list, int stop_fd, const std::function<void(std::string)>& changed) {
    pthread_setname_np(pthread_self(), "front-app");
    std::string last = list.front();
    changed(last);
    const bool stopped = dispatch_until_stopped(list.display(), stop_fd, [&] {
        std::string id = list.front();
        if (id == last) return;
        last = id;
        changed(std::move(id));
    });
    if (stopped) return;
    diag("the compositor went away: the bindings of each application are no longer followed");
    if (!last.empty()) changed(std::string());
}

}  // namespace

WlrFrontAppWatcher::~WlrFrontAppWatcher() {
    if (!thread_.joinable()) return;
    const std::uint64_t one = 1;
    static_cast<void>(::write(stop_.get(), &one, sizeof one));
    thread_.join();
}

bool WlrFrontAppWatcher::offered(const std::string& display) {
    DisplayPtr connection = connect(display);
    if (!connection) return false;
    WindowList list(std::move(connection));
    return wl_display_roundtrip(list.display()) >= 0 && list.listing();
}

void WlrFrontAppWatcher::watch(std::function<void(std::string)> changed) {
    if (thread_.joinable()) return;
    DisplayPtr connection = connect(display_);
    if (!connection) {
        diag("the bindings of each application are not used: no Wayland display: " +
             errno_text(errno));
        return;
    }
    auto list = std::make_unique<WindowList>(std::move(connection));
    if (!list->start()) {
        diag(
            "the bindings of each application are not used: the compositor does not list its "
            "windows");
        return;
    }
    stop_ = UniqueFd(::eventfd(0, EFD_CLOEXEC));
    if (!stop_.valid()) {
        diag("the bindings of each application are not used: no event descriptor");
        return;
    }
    thread_ = std::thread([list = std::move(list), stop = stop_.get(),
                           changed = std::move(changed)] { follow(*list, stop, changed); });
}

std::vector<RunningApp> WlrFrontAppWatcher::running_apps() {
    DisplayPtr connection = connect(display_);
    if (!connection) return {};
    WindowList list(std::move(connection));
    if (!list.start()) return {};
    return named_apps(list.ids(), application_folders());
}

}  // namespace thumbrover
