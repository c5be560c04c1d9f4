// NOT Apple's SDK: stand-in declarations for a syntax check on Linux (see README.md).
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef signed char BOOL;
#define YES ((BOOL)1)
#define NO ((BOOL)0)
#define nil nullptr
#define Nil nullptr
typedef long NSInteger;
typedef unsigned long NSUInteger;
typedef unsigned short unichar;
typedef unsigned char Boolean;
typedef uint32_t UInt32;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef double Float64;
typedef double CGFloat;

struct CGSize {
    CGFloat width;
    CGFloat height;
};
typedef struct CGSize CGSize;
static inline CGSize CGSizeMake(CGFloat width, CGFloat height) {
    CGSize size;
    size.width = width;
    size.height = height;
    return size;
}

typedef const void* CFTypeRef;
typedef unsigned long CFTypeID;
@class NSString;
typedef const struct __attribute__((objc_bridge(NSString))) __CFString* CFStringRef;
extern "C" CFTypeID CFGetTypeID(CFTypeRef cf);

@protocol NSObject
@end
@protocol NSCopying
@end

typedef struct {
    unsigned long state;
    id __unsafe_unretained _Nullable* _Nullable itemsPtr;
    unsigned long* _Nullable mutationsPtr;
    unsigned long extra[5];
} NSFastEnumerationState;

@protocol NSFastEnumeration
- (NSUInteger)countByEnumeratingWithState:(NSFastEnumerationState*)state
                                  objects:(id __unsafe_unretained _Nullable[_Nonnull])buffer
                                    count:(NSUInteger)len;
@end

__attribute__((objc_root_class))
@interface NSObject<NSObject> {
    Class isa;
}
+ (instancetype)alloc;
- (instancetype)init;
+ (Class)class;
- (BOOL)isKindOfClass:(Class)aClass;
@end

@interface NSString : NSObject <NSCopying>
+ (instancetype)stringWithCharacters:(const unichar*)characters length:(NSUInteger)length;
@property(readonly) NSUInteger length;
@property(readonly) const char* UTF8String __attribute__((objc_returns_inner_pointer));
- (BOOL)isEqualToString:(NSString*)aString;
@end

@interface NSNumber : NSObject
+ (NSNumber*)numberWithUnsignedInt:(unsigned int)value;
@end

@interface NSArray<__covariant ObjectType> : NSObject <NSFastEnumeration>
- (BOOL)containsObject:(ObjectType)anObject;
@end

@interface NSDictionary<KeyType, ObjectType> : NSObject
+ (instancetype)dictionaryWithObject:(ObjectType)object forKey:(KeyType<NSCopying>)key;
@end

@interface NSError : NSObject
@end

@interface NSBundle : NSObject
@property(class, readonly, strong) NSBundle* mainBundle;
@property(readonly, copy) NSString* bundleIdentifier;
- (id)objectForInfoDictionaryKey:(NSString*)key;
@end

// libdispatch, with dispatch objects as Objective-C objects (as under ARC).
@protocol OS_dispatch_queue <NSObject>
@end
@protocol OS_dispatch_queue_attr <NSObject>
@end
typedef NSObject<OS_dispatch_queue>* dispatch_queue_t;
typedef NSObject<OS_dispatch_queue_attr>* dispatch_queue_attr_t;
typedef void (*dispatch_function_t)(void* _Nullable);
extern "C" dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr);
extern "C" void dispatch_sync_f(dispatch_queue_t queue, void* _Nullable context,
                                dispatch_function_t work);
