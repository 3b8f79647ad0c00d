#include "macos/front_app.hpp"

#import <AppKit/AppKit.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "core/settings/config.hpp"

namespace thumbrover {

struct WorkspaceFrontAppWatcher::Impl {
    NSOperationQueue* queue = nil;
    id observer = nil;
    std::shared_ptr<std::function<void(std::string)>> changed;
};

namespace {

std::string text_of(NSString* text) {
    return text != nil ? std::string([text UTF8String]) : std::string();
}

// A bundle identifier the settings file can hold; empty for an application without one.
std::string app_id_of(NSRunningApplication* app) {
    std::string id = text_of(app.bundleIdentifier);
    return check_app_id(id).ok() ? id : std::string();
}

}  // namespace

WorkspaceFrontAppWatcher::WorkspaceFrontAppWatcher() : impl_(std::make_unique<Impl>()) {}

WorkspaceFrontAppWatcher::~WorkspaceFrontAppWatcher() {
    if (impl_->observer != nil) {
        [[NSWorkspace sharedWorkspace].notificationCenter removeObserver:impl_->observer];
    }
    // Reports already queued finish before this returns; none start after.
    [impl_->queue cancelAllOperations];
    [impl_->queue waitUntilAllOperationsAreFinished];
}

void WorkspaceFrontAppWatcher::watch(std::function<void(std::string)> changed) {
    if (impl_->observer != nil) return;
    impl_->queue = [[NSOperationQueue alloc] init];
    impl_->queue.maxConcurrentOperationCount = 1;
    impl_->queue.name = @"front-app";
    impl_->changed = std::make_shared<std::function<void(std::string)>>(std::move(changed));
    auto report = impl_->changed;
    impl_->observer = [[NSWorkspace sharedWorkspace].notificationCenter
        addObserverForName:NSWorkspaceDidActivateApplicationNotification
                    object:nil
                     queue:impl_->queue
                usingBlock:^(NSNotification* note) {
                  NSRunningApplication* app = note.userInfo[NSWorkspaceApplicationKey];
                  (*report)(app != nil ? app_id_of(app) : std::string());
                }];
    NSRunningApplication* front = [NSWorkspace sharedWorkspace].frontmostApplication;
    std::string first = front != nil ? app_id_of(front) : std::string();
    [impl_->queue addOperationWithBlock:^{
      (*report)(first);
    }];
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
        return [@(a.name.c_str()) localizedCaseInsensitiveCompare:@(b.name.c_str())] ==
               NSOrderedAscending;
    });
    return apps;
}

}  // namespace thumbrover
