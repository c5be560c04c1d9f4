#import "webcam_controller_mac.h"

#include "camera_access.h"
#include "capture_controller.h"
#include "controller_messages.h"
#include "device.h"
#include "resolution_choice.h"

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <string>

#if !__has_feature(objc_arc)
#error "webcam_controller_mac.mm is built with automatic reference counting (-fobjc-arc)"
#endif

namespace {

using framegrab::Resolution;
using framegrab::messages::Message;
namespace messages = framegrab::messages;

// 'BGRA': Core Video's 32-bit BGRA pixel format.
constexpr OSType PIXEL_FORMAT_BGRA = 0x42475241;

// How long open waits for the user to answer the system's camera question. An
// answer that comes later counts at the next open.
constexpr std::chrono::seconds PERMISSION_TIMEOUT{30};
// How long the resolution waits for the first frame of a session just started.
constexpr std::chrono::seconds FIRST_FRAME_TIMEOUT{3};

// Run on the frame queue by close: once it has run, every earlier frame is done.
void drained(void*) {}

// A message must not unwind into AVFoundation's queue or past the caller's return.
void post(framegrab::Device* device, const Message& message) noexcept {
    try {
        device->errorFcn(message.identifier, message.text);
    } catch (...) {
    }
}

framegrab::HostBundle describeHost() {
    NSBundle* main = [NSBundle mainBundle];
    id usage = [main objectForInfoDictionaryKey:@"NSCameraUsageDescription"];
    NSString* text = [usage isKindOfClass:[NSString class]] ? (NSString*)usage : nil;
    framegrab::HostBundle host;
    host.named = [main bundleIdentifier] != nil;
    host.declaresCameraUse = [text length] > 0;
    return host;
}

// Runs one step of a teardown; what it throws is dropped, so the next step runs.
template <class Step> void attempt(const Step& step) noexcept {
    @try {
        step();
    } @catch (...) {
    }
}

// The size the input's video port describes; (0, 0) without one. The last video
// port wins; the first port stands when no later one is video.
Resolution portResolution(AVCaptureDeviceInput* input) {
    AVCaptureInputPort* choice = nil;
    for (AVCaptureInputPort* port in [input ports]) {
        if (choice == nil || [[port mediaType] isEqualToString:AVMediaTypeVideo])
            choice = port;
    }
    CMFormatDescriptionRef format = choice != nil ? [choice formatDescription] : NULL;
    if (format == NULL || CMFormatDescriptionGetMediaType(format) != kCMMediaType_Video)
        return Resolution();
    const CMVideoDimensions dimensions = CMVideoFormatDescriptionGetDimensions(format);
    return Resolution{static_cast<double>(dimensions.width),
                      static_cast<double>(dimensions.height)};
}

// The size of the first frame of a run, when it arrived within wait; (0, 0) else.
Resolution firstFrameResolution(const std::shared_future<Resolution>& firstFrame,
                                std::chrono::milliseconds wait) noexcept {
    try {
        if (firstFrame.valid() && firstFrame.wait_for(wait) == std::future_status::ready)
            return firstFrame.get();
    } catch (...) {
    }
    return Resolution();
}

// Holds a pixel buffer's base address for reading while it lives.
class ReadOnlyLock {
public:
    explicit ReadOnlyLock(CVPixelBufferRef pixelBuffer)
        : buffer(pixelBuffer),
          locked(CVPixelBufferLockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly) ==
                 kCVReturnSuccess) {}
    ~ReadOnlyLock() {
        // The unlock takes the flags of the lock.
        if (locked)
            CVPixelBufferUnlockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly);
    }
    ReadOnlyLock(const ReadOnlyLock&) = delete;
    ReadOnlyLock& operator=(const ReadOnlyLock&) = delete;

    const CVPixelBufferRef buffer;
    const bool locked;
};

} // namespace

@implementation WebcamController {
    framegrab::Device* _conduitDevice;     // not owned
    NSString* _uniqueID;                   // strong
    AVCaptureSession* _avSession;          // strong, made once
    AVCaptureDevice* _device;              // strong
    AVCaptureDeviceInput* _inputDevice;    // strong
    AVCaptureVideoDataOutput* _dataOutput; // strong
    CVImageBufferRef _pixelBuffer;         // not owned; the frame being handled
    BOOL _isOpen;
    framegrab::AccessQuestion _accessQuestion;
    // The first frame of the current run sets its size; the frame queue alone
    // writes _firstFrameSeen and sets the promise between open and close.
    bool _firstFrameSeen;
    std::promise<Resolution> _firstFrame;
    std::shared_future<Resolution> _firstFrameSize;
}

- (instancetype)initWithConduitDevice:(framegrab::Device*)device UniqueID:(NSString*)uniqueID {
    @autoreleasepool {
        self = [super init];
        if (self == nil)
            return nil;
        _uniqueID = uniqueID;
        _conduitDevice = device;
        @try {
            if (_avSession == nil) {
                _avSession = [[AVCaptureSession alloc] init];
                if ([_avSession canSetSessionPreset:AVCaptureSessionPresetHigh])
                    [_avSession setSessionPreset:AVCaptureSessionPresetHigh];
            }
        } @catch (...) {
            // open reports a controller without a session.
        }
        return self;
    }
}

- (BOOL)open {
    @autoreleasepool {
        if (_isOpen)
            return YES;
        // The message for an exception thrown at the current step.
        const Message* failure = &messages::DEVICE_INACCESSIBLE;
        @try {
            if (![self cameraAccessGranted])
                return [self failOpen:messages::DEVICE_INACCESSIBLE];
            failure = &messages::SESSION_CREATION_ERROR;
            if (_avSession == nil)
                return [self failOpen:messages::SESSION_CREATION_ERROR];
            failure = &messages::DEVICE_INACCESSIBLE;
            _device = [AVCaptureDevice deviceWithUniqueID:_uniqueID];
            if ([_device isInUseByAnotherApplication])
                return [self failOpen:messages::DEVICE_UNAVAILABLE];
            // No camera of that identifier: no input can be made for it.
            _inputDevice = _device != nil
                               ? [[AVCaptureDeviceInput alloc] initWithDevice:_device error:nil]
                               : nil;
            if (_inputDevice == nil)
                return [self failOpen:messages::DEVICE_INACCESSIBLE];
            failure = &messages::CANNOT_ADD_DEVICE;
            if (![_avSession canAddInput:_inputDevice])
                return [self failOpen:messages::CANNOT_ADD_DEVICE];
            [_avSession addInput:_inputDevice];

            failure = &messages::SESSION_CREATION_ERROR;
            [self attachOutput];
            if (![_avSession canAddOutput:_dataOutput])
                return [self failOpen:messages::SESSION_CREATION_ERROR];
            [_avSession addOutput:_dataOutput];
            [_avSession startRunning];
            // startRunning tells of a failure only through a notification; a session
            // that failed to start is not running.
            if (![_avSession isRunning])
                return [self failOpen:messages::SESSION_CREATION_ERROR];
            _isOpen = YES;
            return YES;
        } @catch (...) {
            return [self failOpen:*failure];
        }
    }
}

// Whether this process may use cameras, asking the user where the system has not
// asked yet. Touches no camera.
- (BOOL)cameraAccessGranted {
    if (@available(macOS 10.14, *)) {
        static_assert(static_cast<long>(AVAuthorizationStatusNotDetermined) ==
                              static_cast<long>(framegrab::CameraAuthorization::NotDetermined) &&
                          static_cast<long>(AVAuthorizationStatusRestricted) ==
                              static_cast<long>(framegrab::CameraAuthorization::Restricted) &&
                          static_cast<long>(AVAuthorizationStatusDenied) ==
                              static_cast<long>(framegrab::CameraAuthorization::Denied) &&
                          static_cast<long>(AVAuthorizationStatusAuthorized) ==
                              static_cast<long>(framegrab::CameraAuthorization::Authorized),
                      "CameraAuthorization mirrors AVAuthorizationStatus");
        const auto status = static_cast<framegrab::CameraAuthorization>(
            [AVCaptureDevice authorizationStatusForMediaType:AVMediaTypeVideo]);
        switch (framegrab::decideCameraAccess(status, describeHost(), _accessQuestion.pending())) {
        case framegrab::CameraAccess::Granted:
            return YES;
        case framegrab::CameraAccess::Refused:
            return NO;
        case framegrab::CameraAccess::Ask:
            break;
        }
        // The system answers on a queue of its own, perhaps after the wait ended.
        const bool granted = _accessQuestion.ask(
            [](framegrab::AccessQuestion::Answer answer) {
                [AVCaptureDevice requestAccessForMediaType:AVMediaTypeVideo
                                         completionHandler:^(BOOL allowed) {
                                           answer(allowed == YES);
                                         }];
            },
            PERMISSION_TIMEOUT);
        return granted ? YES : NO;
    }
    // Systems before 10.14 ask nobody.
    return YES;
}

// The output of this run, delivering BGRA frames on a new serial queue.
- (void)attachOutput {
    _dataOutput = [[AVCaptureVideoDataOutput alloc] init];
    NSString* formatKey = (__bridge NSString*)kCVPixelBufferPixelFormatTypeKey;
    NSNumber* bgra = [NSNumber numberWithUnsignedInt:PIXEL_FORMAT_BGRA];
    [_dataOutput setVideoSettings:[NSDictionary dictionaryWithObject:bgra forKey:formatKey]];
    [_dataOutput setAlwaysDiscardsLateVideoFrames:YES];
    // Reset before any frame of this run can arrive.
    _firstFrameSeen = false;
    _firstFrame = std::promise<Resolution>();
    _firstFrameSize = _firstFrame.get_future().share();
    // The output keeps the queue; this reference goes at the end of the scope.
    dispatch_queue_t queue = dispatch_queue_create("webcamBufferQueue", NULL);
    [_dataOutput setSampleBufferDelegate:self queue:queue];
}

// Reports the failure of an open after taking back what it attached, so that no
// stale input or output stays in the session.
- (BOOL)failOpen:(const Message&)message {
    [self detach];
    _inputDevice = nil;
    _dataOutput = nil;
    post(_conduitDevice, message);
    return NO;
}

- (void)close {
    @autoreleasepool {
        [self detach];
    }
}

// Stops the session, drains the frame queue and takes input and output out of the
// session. Each step runs even when an earlier one throws.
- (void)detach {
    _isOpen = NO;
    attempt([&] { [_avSession stopRunning]; });
    attempt([&] {
        // A frame may already be queued or running on the output's queue: wait for
        // it, so that no frame reaches the device after close returns.
        dispatch_queue_t queue = [_dataOutput sampleBufferCallbackQueue];
        if (queue != nil)
            dispatch_sync_f(queue, nullptr, &drained);
        [_dataOutput setSampleBufferDelegate:nil queue:nil];
    });
    attempt([&] {
        if (_inputDevice != nil && [[_avSession inputs] containsObject:_inputDevice])
            [_avSession removeInput:_inputDevice];
    });
    attempt([&] {
        if (_dataOutput != nil && [[_avSession outputs] containsObject:_dataOutput])
            [_avSession removeOutput:_dataOutput];
    });
}

- (CGSize)getWebcamResolution {
    @autoreleasepool {
        Resolution port;
        attempt([&] { port = portResolution(_inputDevice); });
        // While open, the first frame is on its way: it decides when it comes soon.
        const Resolution frame = firstFrameResolution(
            _firstFrameSize, _isOpen ? std::chrono::milliseconds(FIRST_FRAME_TIMEOUT)
                                     : std::chrono::milliseconds(0));
        const Resolution chosen = framegrab::chooseResolution(port, frame);
        if (!framegrab::isKnownResolution(chosen)) {
            post(_conduitDevice, messages::INVALID_RESOLUTION);
            return CGSizeMake(0, 0);
        }
        return CGSizeMake(chosen.width, chosen.height);
    }
}

- (AVCaptureDevice*)device {
    return _device;
}

- (void)captureOutput:(AVCaptureOutput*)output
    didOutputSampleBuffer:(CMSampleBufferRef)sampleBuffer
           fromConnection:(AVCaptureConnection*)connection {
    @autoreleasepool {
        @try {
            [self handleSample:sampleBuffer];
        } @catch (...) {
            // Nothing unwinds into AVFoundation's queue; the sample is dropped.
        }
        _pixelBuffer = NULL;
    }
}

- (void)handleSample:(CMSampleBufferRef)sampleBuffer {
    _pixelBuffer = CMSampleBufferGetImageBuffer(sampleBuffer);
    if (_pixelBuffer == NULL) {
        post(_conduitDevice, messages::NO_FRAMES);
        return;
    }
    // Only one plane of 32-bit BGRA is what the output was asked for and what the
    // device copies.
    if (CFGetTypeID(_pixelBuffer) != CVPixelBufferGetTypeID() ||
        CVPixelBufferIsPlanar(_pixelBuffer) ||
        CVPixelBufferGetPixelFormatType(_pixelBuffer) != PIXEL_FORMAT_BGRA)
        return;
    const std::size_t width = CVPixelBufferGetWidth(_pixelBuffer);
    const std::size_t height = CVPixelBufferGetHeight(_pixelBuffer);
    if (!_firstFrameSeen) {
        _firstFrameSeen = true;
        _firstFrame.set_value(Resolution{static_cast<double>(width), static_cast<double>(height)});
    }

    // An invalid (or indefinite) time would become the device's start time for good.
    const CMTime presentation = CMSampleBufferGetPresentationTimeStamp(sampleBuffer);
    if (!CMTIME_IS_NUMERIC(presentation))
        return;
    const double timestamp = CMTimeGetSeconds(presentation);

    const ReadOnlyLock lock(_pixelBuffer);
    if (!lock.locked)
        return;
    // The device copies the rows at their real stride and never reads past the
    // buffer: the rows of a pixel buffer may be padded.
    framegrab::PixelBuffer pixels;
    pixels.baseAddress =
        static_cast<const std::uint8_t*>(CVPixelBufferGetBaseAddress(_pixelBuffer));
    if (pixels.baseAddress == nullptr)
        return;
    pixels.bytesPerRow = CVPixelBufferGetBytesPerRow(_pixelBuffer);
    pixels.width = width;
    pixels.height = height;
    pixels.dataSize = pixels.bytesPerRow * height;
    _conduitDevice->processFrame(pixels, timestamp);
}

@end

namespace framegrab {

namespace {

// The device's view of the Objective-C controller.
class MacWebcamController final : public CaptureController {
public:
    MacWebcamController(Device& device, const conduit::kit::ustring& uniqueID) {
        @autoreleasepool {
            NSString* identifier =
                [NSString stringWithCharacters:reinterpret_cast<const unichar*>(uniqueID.data())
                                        length:uniqueID.size()];
            controller = [[WebcamController alloc] initWithConduitDevice:&device
                                                                UniqueID:identifier];
        }
    }
    // Stops the session before the controller goes, so no frame outlives the device.
    ~MacWebcamController() override {
        @autoreleasepool {
            [controller close];
            controller = nil;
        }
    }
    MacWebcamController(const MacWebcamController&) = delete;
    MacWebcamController& operator=(const MacWebcamController&) = delete;

    bool open() override { return [controller open] == YES; }
    void close() override { [controller close]; }
    Resolution getWebcamResolution() override {
        const CGSize size = [controller getWebcamResolution];
        return Resolution{static_cast<double>(size.width), static_cast<double>(size.height)};
    }
    std::string device() const override {
        @autoreleasepool {
            AVCaptureDevice* camera = [controller device];
            const char* identifier = camera != nil ? [[camera uniqueID] UTF8String] : nullptr;
            return identifier != nullptr ? std::string(identifier) : std::string();
        }
    }

private:
    WebcamController* controller; // strong
};

} // namespace

std::unique_ptr<CaptureController> createWebcamController(Device& device,
                                                          const conduit::kit::ustring& uniqueID) {
    return std::make_unique<MacWebcamController>(device, uniqueID);
}

} // namespace framegrab
