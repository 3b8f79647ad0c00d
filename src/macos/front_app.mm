#include "macos/front_app.hpp"

#import <AppKit/AppKit.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "core/settings/config.hpp"
#include "macos/front_app_relay.hpp"
#include "macos/text.hpp"

namespace thumbrover {

struct WorkspaceFrontAppWatcher::Impl {
    std::shared_ptr<FrontAppRelay> relay;
};

namespace {

std::string text_of(NSString* text) {
    return text != nil ? utf8_text(text.UTF8String) : std::string();
}

// A bundle identifier the settings file can hold; empty for an application without one.
std::string app_id_of(NSRunningApplication* app) {
    std::string id = text_of(app.bundleIdentifier);
    return check_app_id(id).ok() ? id : std::string();
}

}  // namespace

WorkspaceFrontAppWatcher::WorkspaceFrontAppWatcher() : impl_(std::make_unique<Impl>()) {}

WorkspaceFrontAppWatcher::~WorkspaceFrontAppWatcher() {
    if (impl_->relay) impl_->relay->stop();
}

void WorkspaceFrontAppWatcher::watch(std::function<void(std::string)> changed) {
    if (impl_->relay) return;
    impl_->relay = std::make_shared<FrontAppRelay>(std::move(changed));
    std::shared_ptr<FrontAppRelay> relay = impl_->relay;
    // NSWorkspace promises thread safety for its notification centre and its list of running
    // applications only: the application in front is read on the main thread, and its changes
    // are delivered there too, queued behind the first value.
    dispatch_async(dispatch_get_main_queue(), ^{
      @autoreleasepool {
          NSNotificationCenter* center = [NSWorkspace sharedWorkspace].notificationCenter;
          id observer = [center
              addObserverForName:NSWorkspaceDidActivateApplicationNotification
                          object:nil
                           queue:[NSOperationQueue mainQueue]
                      usingBlock:^(NSNotification* note) {
                        NSRunningApplication* app = note.userInfo[NSWorkspaceApplicationKey];
                        relay->report(app != nil ? app_id_of(app) : std::string());
                      }];
          if (!relay->attach([center, observer] { [center removeObserver:observer]; })) return;
          NSRunningApplication* front = [NSWorkspace sharedWorkspace].frontmostApplication;
          relay->report(front != nil ? app_id_of(front) : std::string());
      }
    });
}

std::vector<RunningApp> WorkspaceFrontAppWatcher::running_apps() {
    std::vector<RunningApp> apps;
    for (NSRunningApplication* app in [NSWorkspace sharedWorkspace].runningApplications) {
        if (app.activationPolicy != NSApplicationActivationPolicyRegular) continue;
        std::string id = app_id_of(app);
        if (id.empty()) continue;
        const bool seen = std::any_of(apps.begin(), apps.end(),
                                      [&](const RunningApp& a) { return same_app_id(a.id, id); });
        if (seen) continue;
        std::string name = text_of(app.localizedName);
        apps.push_back({id, name.empty() ? id : std::move(name)});
    }
    std::sort(apps.begin(), apps.end(), [](const RunningApp& a, const RunningApp& b) {
        NSString* left = [[NSString alloc] initWithUTF8String:a.name.c_str()];
        NSString* right = [[NSString alloc] initWithUTF8String:b.name.c_str()];
        if (left == nil || right == nil) return a.name < b.name;
        return [left localizedCaseInsensitiveCompare:right] == NSOrderedAscending;
    });
    return apps;
}

}  // namespace thumbrover
