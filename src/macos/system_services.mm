#include "macos/system_services.hpp"

#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>
#import <ServiceManagement/SMAppService.h>
#include <unistd.h>

#include <vector>

#include "macos/text.hpp"

namespace thumbrover {
namespace {

// Far beyond any path the system opens; keeps the buffer's size from overflowing.
constexpr NSUInteger kLongestPath = 1 << 20;

std::string error_text(NSError* error) {
    if (error == nil || error.localizedDescription == nil) return "unknown error";
    return utf8_text(error.localizedDescription.UTF8String, "unknown error");
}

// fileSystemRepresentation raises for a path it cannot represent; this asks instead.
std::optional<std::filesystem::path> path_of(NSString* path) {
    if (path == nil || path.length == 0 || path.length > kLongestPath) return std::nullopt;
    // Room for each UTF-16 unit as three bytes, three times over once decomposed.
    std::vector<char> bytes(path.length * 9 + 1);
    if (![path getFileSystemRepresentation:bytes.data() maxLength:bytes.size()])
        return std::nullopt;
    return std::filesystem::path(bytes.data());
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

AccessibilityPermission::AccessibilityPermission()
    : PostEventPermission(SystemRight{.check = [] { return CGPreflightPostEventAccess(); },
                                      .ask = [] { return CGRequestPostEventAccess(); }}) {}

std::optional<std::filesystem::path> main_bundle_path() {
    @autoreleasepool {
        return path_of(NSBundle.mainBundle.bundlePath);
    }
}

std::optional<std::filesystem::path> running_executable() {
    @autoreleasepool {
        return path_of(NSBundle.mainBundle.executablePath);
    }
}

std::unique_ptr<MacDesktop> make_desktop() {
    return std::make_unique<MacDesktop>(system_spawner(), main_bundle_path, running_executable,
                                        RestartWait{.pid = getpid()});
}

}  // namespace thumbrover
