#import "webcam_controller_mac.h"

#include "capture_controller.h"
#include "controller_messages.h"
#include "device.h"

#include <memory>
#include <string>

#if !__has_feature(objc_arc)
#error "webcam_controller_mac.mm is built with automatic reference counting (-fobjc-arc)"
#endif

namespace {

// 'BGRA': Core Video's 32-bit BGRA pixel format.
constexpr unsigned int PIXEL_FORMAT_BGRA = 0x42475241;

// Run on the frame queue by close: once it has run, every earlier frame is done.
void drained(void*) {}

void post(framegrab::Device* device, const framegrab::messages::Message& message) {
    device->errorFcn(message.identifier, message.text);
}

} // namespace

@implementation WebcamController {
    framegrab::Device* _conduitDevice;     // not owned
    NSString* _uniqueID;                   // strong
    AVCaptureSession* _avSession;          // strong, made once
    AVCaptureDevice* _device;              // strong
    AVCaptureDeviceInput* _inputDevice;    // strong
    AVCaptureVideoDataOutput* _dataOutput; // strong
    CVImageBufferRef _pixelBuffer;         // not owned; the frame being handled
}

- (instancetype)initWithConduitDevice:(framegrab::Device*)device UniqueID:(NSString*)uniqueID {
    self = [super init];
    if (self == nil)
        return nil;
    _uniqueID = uniqueID;
    _conduitDevice = device;
    if (_avSession == nil) {
        _avSession = [[AVCaptureSession alloc] init];
        if ([_avSession canSetSessionPreset:AVCaptureSessionPresetHigh])
            [_avSession setSessionPreset:AVCaptureSessionPresetHigh];
    }
    return self;
}

- (BOOL)open {
    _device = [AVCaptureDevice deviceWithUniqueID:_uniqueID];
    if ([_device isInUseByAnotherApplication]) {
        post(_conduitDevice, framegrab::messages::DEVICE_UNAVAILABLE);
        return NO;
    }
    // No camera of that identifier: no input can be made for it.
    _inputDevice =
        _device != nil ? [[AVCaptureDeviceInput alloc] initWithDevice:_device error:nil] : nil;
    if (_inputDevice == nil) {
        post(_conduitDevice, framegrab::messages::DEVICE_INACCESSIBLE);
        return NO;
    }
    if (![_avSession canAddInput:_inputDevice]) {
        post(_conduitDevice, framegrab::messages::CANNOT_ADD_DEVICE);
        return NO;
    }
    [_avSession addInput:_inputDevice];

    _dataOutput = [[AVCaptureVideoDataOutput alloc] init];
    NSString* formatKey = (__bridge NSString*)kCVPixelBufferPixelFormatTypeKey;
    NSNumber* bgra = [NSNumber numberWithUnsignedInt:PIXEL_FORMAT_BGRA];
    [_dataOutput setVideoSettings:[NSDictionary dictionaryWithObject:bgra forKey:formatKey]];
    [_dataOutput setAlwaysDiscardsLateVideoFrames:YES];
    // The output keeps the queue; this reference goes at the end of the scope.
    dispatch_queue_t queue = dispatch_queue_create("webcamBufferQueue", NULL);
    [_dataOutput setSampleBufferDelegate:self queue:queue];
    queue = nil;

    if (![_avSession canAddOutput:_dataOutput]) {
        post(_conduitDevice, framegrab::messages::SESSION_CREATION_ERROR);
        return NO;
    }
    [_avSession addOutput:_dataOutput];
    [_avSession startRunning];
    return YES;
}

- (void)close {
    [_avSession stopRunning];
    // A frame may already be queued or running on the output's queue: wait for it,
    // so that no frame reaches the device after close returns.
    dispatch_queue_t queue = [_dataOutput sampleBufferCallbackQueue];
    if (queue != nil)
        dispatch_sync_f(queue, nullptr, &drained);
    if (_inputDevice != nil)
        [_avSession removeInput:_inputDevice];
    if (_dataOutput != nil)
        [_avSession removeOutput:_dataOutput];
}

- (CGSize)getWebcamResolution {
    // The last video port wins; the first port stands when no later one is video.
    AVCaptureInputPort* choice = nil;
    for (AVCaptureInputPort* port in [_inputDevice ports]) {
        if (choice == nil || [[port mediaType] isEqualToString:AVMediaTypeVideo])
            choice = port;
    }
    if (choice == nil) {
        post(_conduitDevice, framegrab::messages::INVALID_RESOLUTION);
        return CGSizeMake(0, 0);
    }
    const CMVideoDimensions dimensions =
        CMVideoFormatDescriptionGetDimensions([choice formatDescription]);
    return CGSizeMake(static_cast<double>(dimensions.width),
                      static_cast<double>(dimensions.height));
}

- (AVCaptureDevice*)device {
    return _device;
}

- (void)captureOutput:(AVCaptureOutput*)output
    didOutputSampleBuffer:(CMSampleBufferRef)sampleBuffer
           fromConnection:(AVCaptureConnection*)connection {
    _pixelBuffer = CMSampleBufferGetImageBuffer(sampleBuffer);
    if (_pixelBuffer == NULL) {
        post(_conduitDevice, framegrab::messages::NO_FRAMES);
        return;
    }
    CVPixelBufferLockBaseAddress(_pixelBuffer, 0);
    const CMTime presentation = CMSampleBufferGetPresentationTimeStamp(sampleBuffer);
    const double timestamp =
        static_cast<double>(presentation.value) / static_cast<double>(presentation.timescale);
    // The device copies the rows at their real stride and never reads past the
    // buffer: the rows of a pixel buffer may be padded.
    framegrab::PixelBuffer pixels;
    pixels.baseAddress =
        static_cast<const std::uint8_t*>(CVPixelBufferGetBaseAddress(_pixelBuffer));
    pixels.bytesPerRow = CVPixelBufferGetBytesPerRow(_pixelBuffer);
    pixels.width = CVPixelBufferGetWidth(_pixelBuffer);
    pixels.height = CVPixelBufferGetHeight(_pixelBuffer);
    pixels.dataSize = pixels.bytesPerRow * pixels.height;
    _conduitDevice->processFrame(pixels, timestamp);
    CVPixelBufferUnlockBaseAddress(_pixelBuffer, 0);
}

@end

namespace framegrab {

namespace {

// The device's view of the Objective-C controller.
class MacWebcamController final : public CaptureController {
public:
    MacWebcamController(Device& device, const conduit::kit::ustring& uniqueID) {
        NSString* identifier =
            [NSString stringWithCharacters:reinterpret_cast<const unichar*>(uniqueID.data())
                                    length:uniqueID.size()];
        controller = [[WebcamController alloc] initWithConduitDevice:&device UniqueID:identifier];
    }
    // Stops the session before the controller goes, so no frame outlives the device.
    ~MacWebcamController() override { [controller close]; }

    bool open() override { return [controller open] == YES; }
    void close() override { [controller close]; }
    Resolution getWebcamResolution() override {
        const CGSize size = [controller getWebcamResolution];
        return Resolution{static_cast<double>(size.width), static_cast<double>(size.height)};
    }
    std::string device() const override {
        AVCaptureDevice* camera = [controller device];
        if (camera == nil)
            return std::string();
        const char* identifier = [[camera uniqueID] UTF8String];
        return identifier != nullptr ? std::string(identifier) : std::string();
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
