#include "macos/activity.hpp"

#import <Foundation/Foundation.h>

namespace thumbrover {

static_assert(kSteeringActivityOptions ==
                  (NSActivityUserInitiatedAllowingIdleSystemSleep | NSActivityLatencyCritical),
              "the steering activity's options must be the SDK's");

namespace {

class InfoActivity final : public ProcessActivity {
  public:
    explicit InfoActivity(id<NSObject> token) : token_(token) {}
    ~InfoActivity() override { [NSProcessInfo.processInfo endActivity:token_]; }
    InfoActivity(const InfoActivity&) = delete;
    InfoActivity& operator=(const InfoActivity&) = delete;

  private:
    id<NSObject> token_;
};

}  // namespace

std::unique_ptr<ProcessActivity> begin_steering_activity() {
    @autoreleasepool {
        id<NSObject> token = [NSProcessInfo.processInfo
            beginActivityWithOptions:static_cast<NSActivityOptions>(kSteeringActivityOptions)
                              reason:@"Moving the pointer with a game controller"];
        if (token == nil) return nullptr;
        return std::make_unique<InfoActivity>(token);
    }
}

}  // namespace thumbrover
