#include "macos/system_services.hpp"

#import <ApplicationServices/ApplicationServices.h>
#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>
#import <ServiceManagement/SMAppService.h>

namespace thumbrover {
namespace {

std::string error_text(NSError* error) {
    if (error == nil || error.localizedDescription == nil) return "unknown error";
    return error.localizedDescription.UTF8String;
}

}  // namespace

bool AppServiceLoginItem::enabled() {
    @autoreleasepool {
        return SMAppService.mainAppService.status == SMAppServiceStatusEnabled;
    }
}

Result<void> AppServiceLoginItem::set_enabled(bool on) {
    @autoreleasepool {
        SMAppService* service = SMAppService.mainAppService;
        NSError* error = nil;
        const BOOL done = on ? [service registerAndReturnError:&error]
                             : [service unregisterAndReturnError:&error];
        if (!done) return Error{error_text(error)};
        return {};
    }
}

LoginItemState AppServiceLoginItem::state() {
    @autoreleasepool {
        switch (SMAppService.mainAppService.status) {
            case SMAppServiceStatusEnabled:
                return LoginItemState::On;
            case SMAppServiceStatusRequiresApproval:
                return LoginItemState::AwaitingApproval;
            default:
                return LoginItemState::Off;
        }
    }
}

Result<void> AppServiceLoginItem::open_approval() {
    [SMAppService openSystemSettingsLoginItems];
    return {};
}

bool AccessibilityPermission::granted() {
    return AXIsProcessTrusted();
}

void AccessibilityPermission::request() {
    (void)CGRequestPostEventAccess();
}

std::optional<std::filesystem::path> main_bundle_path() {
    @autoreleasepool {
        NSString* path = NSBundle.mainBundle.bundlePath;
        if (path == nil || path.length == 0) return std::nullopt;
        return std::filesystem::path(path.fileSystemRepresentation);
    }
}

std::optional<std::filesystem::path> running_executable() {
    @autoreleasepool {
        NSString* path = NSBundle.mainBundle.executablePath;
        if (path == nil || path.length == 0) return std::nullopt;
        return std::filesystem::path(path.fileSystemRepresentation);
    }
}

std::unique_ptr<MacDesktop> make_desktop() {
    return std::make_unique<MacDesktop>(system_spawner(), main_bundle_path, running_executable);
}

}  // namespace thumbrover
