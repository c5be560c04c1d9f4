#pragma once

// The camera controller on AVFoundation (Objective-C++, automatic reference
// counting). One controller per camera, owned by its capture device: it runs an
// AVCaptureSession with one device input and one BGRA video data output, and hands
// every frame, from its serial queue "webcamBufferQueue", to the device.

#import <AVFoundation/AVFoundation.h>

namespace framegrab {
class Device;
}

__attribute__((visibility("default")))
@interface WebcamController : NSObject<AVCaptureVideoDataOutputSampleBufferDelegate>

// Keeps the camera identifier and the device; makes the session (preset High where
// the session accepts it). Nothing is attached or started.
- (instancetype)initWithConduitDevice:(framegrab::Device*)device UniqueID:(NSString*)uniqueID;
// Builds the session's input and output and starts it; NO after an error message.
- (BOOL)open;
// Stops the session and removes input and output; no frame reaches the device
// after it returns.
- (void)close;
// Width and height of the camera's video port; (0, 0) after an error message.
- (CGSize)getWebcamResolution;
// The camera of the last open, or nil.
- (AVCaptureDevice*)device;
// The output's delegate callback, on "webcamBufferQueue".
- (void)captureOutput:(AVCaptureOutput*)output
    didOutputSampleBuffer:(CMSampleBufferRef)sampleBuffer
           fromConnection:(AVCaptureConnection*)connection;

@end
