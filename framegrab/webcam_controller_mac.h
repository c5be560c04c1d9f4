#pragma once

// The camera controller on AVFoundation (Objective-C++, automatic reference
// counting). One controller per camera, owned by its capture device: it runs an
// AVCaptureSession with one device input and one BGRA video data output, and hands
// every frame, from its serial queue "webcamBufferQueue", to the device.
//
// No method lets an exception out: what AVFoundation throws becomes one of the
// controller's messages. Every method runs in its own autorelease pool, since
// neither the host's thread nor the frame queue drains one for it.

#import <AVFoundation/AVFoundation.h>

namespace framegrab {
class Device;
}

__attribute__((visibility("default")))
@interface WebcamController : NSObject<AVCaptureVideoDataOutputSampleBufferDelegate>

// Keeps the camera identifier and the device; makes the session (preset High where
// the session accepts it). Nothing is attached or started.
- (instancetype)initWithConduitDevice:(framegrab::Device*)device UniqueID:(NSString*)uniqueID;
// Asks for camera permission where the system wants it, builds the session's input
// and output and starts it; NO after an error message, with nothing left attached.
// YES at once when the controller is already open.
- (BOOL)open;
// Stops the session, waits for the frame being handled, detaches the delegate and
// removes input and output; no frame reaches the device after it returns.
- (void)close;
// Width and height of the frames: the first frame's when one has arrived (waiting
// briefly for it while open), else the camera's video port's; (0, 0) after an
// error message.
- (CGSize)getWebcamResolution;
// The camera of the last open, or nil.
- (AVCaptureDevice*)device;
// The output's delegate callback, on "webcamBufferQueue".
- (void)captureOutput:(AVCaptureOutput*)output
    didOutputSampleBuffer:(CMSampleBufferRef)sampleBuffer
           fromConnection:(AVCaptureConnection*)connection;

@end
