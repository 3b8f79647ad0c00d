#include "macos/app_shell.hpp"

#import <AppKit/AppKit.h>
#import <CoreServices/CoreServices.h>

#include <cmath>
#include <string>
#include <utility>

#include "macos/cf_owned.hpp"

@interface ThumbroverCallback : NSObject
- (instancetype)initWithFunction:(std::function<void()>)function;
- (void)run:(id)sender;
- (void)handleReopen:(NSAppleEventDescriptor*)event withReplyEvent:(NSAppleEventDescriptor*)reply;
@end

@implementation ThumbroverCallback {
    std::function<void()> function_;
}

- (instancetype)initWithFunction:(std::function<void()>)function {
    self = [super init];
    if (self != nil) function_ = std::move(function);
    return self;
}

- (void)run:(id)sender {
    (void)sender;
    if (function_) function_();
}

- (void)handleReopen:(NSAppleEventDescriptor*)event withReplyEvent:(NSAppleEventDescriptor*)reply {
    (void)event;
    (void)reply;
    if (function_) function_();
}
@end

namespace thumbrover {
namespace {

// Menu items and the event manager hold their targets weakly; these live for the process.
ThumbroverCallback* g_quit_target = nil;
ThumbroverCallback* g_reopen_target = nil;

NSMenuItem* add_item(NSMenu* menu, NSString* title, SEL action, NSString* key) {
    NSMenuItem* item = [[NSMenuItem alloc] initWithTitle:title action:action keyEquivalent:key];
    [menu addItem:item];
    return item;
}

NSMenuItem* submenu_item(NSMenu* submenu) {
    NSMenuItem* item = [[NSMenuItem alloc] initWithTitle:@"" action:nil keyEquivalent:@""];
    item.submenu = submenu;
    return item;
}

}  // namespace

void use_accessory_activation_policy() {
    [NSApplication.sharedApplication setActivationPolicy:NSApplicationActivationPolicyAccessory];
}

void install_main_menu(std::function<void()> quit) {
    @autoreleasepool {
        g_quit_target = [[ThumbroverCallback alloc] initWithFunction:std::move(quit)];

        NSMenu* application = [[NSMenu alloc] initWithTitle:@""];
        add_item(application, @"Close Window", @selector(performClose:), @"w");
        NSMenuItem* quit_item = add_item(application, @"Quit Thumbrover", @selector(run:), @"q");
        quit_item.target = g_quit_target;

        // No target: the actions travel the responder chain to the focused text field.
        NSMenu* edit = [[NSMenu alloc] initWithTitle:@"Edit"];
        add_item(edit, @"Cut", @selector(cut:), @"x");
        add_item(edit, @"Copy", @selector(copy:), @"c");
        add_item(edit, @"Paste", @selector(paste:), @"v");
        add_item(edit, @"Select All", @selector(selectAll:), @"a");
        add_item(edit, @"Undo", @selector(undo:), @"z");

        NSMenu* main_menu = [[NSMenu alloc] initWithTitle:@""];
        [main_menu addItem:submenu_item(application)];
        [main_menu addItem:submenu_item(edit)];
        NSApplication.sharedApplication.mainMenu = main_menu;
    }
}

namespace {

void install_reopen_handler() {
    // The reopen Apple event itself, so the answer does not depend on which object is the
    // application's delegate (the toolkit installs its own).
    [NSAppleEventManager.sharedAppleEventManager setEventHandler:g_reopen_target
                                                     andSelector:@selector(handleReopen:
                                                                         withReplyEvent:)
                                                   forEventClass:kCoreEventClass
                                                      andEventID:kAEReopenApplication];
}

}  // namespace

void on_reopen(std::function<void()> reopen) {
    const bool first = g_reopen_target == nil;
    g_reopen_target = [[ThumbroverCallback alloc] initWithFunction:std::move(reopen)];
    // AppKit installs its own handlers for the core Apple events while it finishes launching,
    // replacing one set earlier: install ours once launch has finished, and again then if it
    // already seems to have.
    if (first) {
        [NSNotificationCenter.defaultCenter
            addObserverForName:NSApplicationDidFinishLaunchingNotification
                        object:nil
                         queue:nil
                    usingBlock:^(NSNotification* note) {
                      (void)note;
                      install_reopen_handler();
                    }];
    }
    if (NSRunningApplication.currentApplication.finishedLaunching) install_reopen_handler();
}

std::optional<SymbolPixels> render_symbol(std::string_view name, double point_size) {
    @autoreleasepool {
        NSString* symbol = [[NSString alloc] initWithBytes:name.data()
                                                    length:name.size()
                                                  encoding:NSUTF8StringEncoding];
        if (symbol == nil) return std::nullopt;
        NSImage* image = [NSImage imageWithSystemSymbolName:symbol
                                   accessibilityDescription:@"Thumbrover"];
        if (image == nil) return std::nullopt;
        NSImageSymbolConfiguration* size =
            [NSImageSymbolConfiguration configurationWithPointSize:point_size
                                                            weight:NSFontWeightRegular];
        if (NSImage* sized = [image imageWithSymbolConfiguration:size]; sized != nil) image = sized;

        SymbolPixels pixels;
        pixels.scale = 2.0;
        pixels.width = static_cast<int>(std::ceil(image.size.width * pixels.scale));
        pixels.height = static_cast<int>(std::ceil(image.size.height * pixels.scale));
        if (pixels.width <= 0 || pixels.height <= 0) return std::nullopt;
        const auto width = static_cast<std::size_t>(pixels.width);
        const auto height = static_cast<std::size_t>(pixels.height);
        pixels.rgba.assign(width * height * 4, 0);

        const CfOwned<CGColorSpaceRef> space(CGColorSpaceCreateDeviceRGB());
        const CfOwned<CGContextRef> context(
            CGBitmapContextCreate(pixels.rgba.data(), width, height, 8, width * 4, space.get(),
                                  static_cast<uint32_t>(kCGImageAlphaPremultipliedLast)));
        if (!context) return std::nullopt;
        NSGraphicsContext* graphics = [NSGraphicsContext graphicsContextWithCGContext:context.get()
                                                                              flipped:NO];
        [NSGraphicsContext saveGraphicsState];
        NSGraphicsContext.currentContext = graphics;
        [image
            drawInRect:NSMakeRect(0, 0, static_cast<CGFloat>(width), static_cast<CGFloat>(height))];
        [NSGraphicsContext restoreGraphicsState];
        return pixels;
    }
}

}  // namespace thumbrover
