// Faults clang's static analyzer must report, so that scripts/check-macos knows its run of the
// analyzer over src/macos is checking something. Never compiled into the program.
#import <CoreFoundation/CoreFoundation.h>
#import <Foundation/Foundation.h>

// A CoreFoundation object made and never released.
CFIndex leaked_length(const char* text) {
    CFStringRef made = CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
    return made != nullptr ? CFStringGetLength(made) : 0;
}

// nil where a collection cannot take it.
NSUInteger nil_into_array() {
    NSMutableArray* list = [NSMutableArray array];
    NSString* missing = nil;
    [list addObject:missing];
    return list.count;
}

// nil where the headers say nonnull.
BOOL nil_to_nonnull() {
    NSString* missing = nil;
    NSURL* url = [NSURL fileURLWithPath:missing];
    return url.fileURL;
}
