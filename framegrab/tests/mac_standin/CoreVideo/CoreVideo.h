// NOT Apple's SDK: stand-in declarations for a syntax check on Linux (see README.md).
#pragma once

#import <Foundation/Foundation.h>

typedef int32_t CVReturn;
enum { kCVReturnSuccess = 0 };
typedef uint64_t CVOptionFlags;
typedef struct __CVBuffer* CVBufferRef;
typedef CVBufferRef CVImageBufferRef;
typedef CVImageBufferRef CVPixelBufferRef;
typedef CVOptionFlags CVPixelBufferLockFlags;
enum : CVPixelBufferLockFlags { kCVPixelBufferLock_ReadOnly = 0x00000001 };

extern "C" {
extern const CFStringRef kCVPixelBufferPixelFormatTypeKey;
CFTypeID CVPixelBufferGetTypeID(void);
CVReturn CVPixelBufferLockBaseAddress(CVPixelBufferRef pixelBuffer,
                                      CVPixelBufferLockFlags lockFlags);
CVReturn CVPixelBufferUnlockBaseAddress(CVPixelBufferRef pixelBuffer,
                                        CVPixelBufferLockFlags unlockFlags);
void* CVPixelBufferGetBaseAddress(CVPixelBufferRef pixelBuffer);
size_t CVPixelBufferGetBytesPerRow(CVPixelBufferRef pixelBuffer);
size_t CVPixelBufferGetWidth(CVPixelBufferRef pixelBuffer);
size_t CVPixelBufferGetHeight(CVPixelBufferRef pixelBuffer);
Boolean CVPixelBufferIsPlanar(CVPixelBufferRef pixelBuffer);
OSType CVPixelBufferGetPixelFormatType(CVPixelBufferRef pixelBuffer);
}
