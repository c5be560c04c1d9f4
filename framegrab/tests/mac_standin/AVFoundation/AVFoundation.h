// NOT Apple's SDK: stand-in declarations for a syntax check on Linux (see README.md).
#pragma once

#import <CoreMedia/CoreMedia.h>
#import <CoreVideo/CoreVideo.h>
#import <Foundation/Foundation.h>

typedef NSString* AVMediaType;
extern "C" AVMediaType const AVMediaTypeVideo;
typedef NSString* AVCaptureSessionPreset;
extern "C" AVCaptureSessionPreset const AVCaptureSessionPresetHigh;

typedef enum : NSInteger {
    AVAuthorizationStatusNotDetermined = 0,
    AVAuthorizationStatusRestricted = 1,
    AVAuthorizationStatusDenied = 2,
    AVAuthorizationStatusAuthorized = 3,
} AVAuthorizationStatus;

@interface AVCaptureDevice : NSObject
+ (AVCaptureDevice*)deviceWithUniqueID:(NSString*)deviceUniqueID;
+ (AVAuthorizationStatus)authorizationStatusForMediaType:(AVMediaType)mediaType;
+ (void)requestAccessForMediaType:(AVMediaType)mediaType
                completionHandler:(void (^)(BOOL granted))handler;
@property(nonatomic, readonly) NSString* uniqueID;
@property(nonatomic, readonly, getter=isInUseByAnotherApplication) BOOL inUseByAnotherApplication;
@end

@interface AVCaptureInputPort : NSObject
@property(nonatomic, readonly) AVMediaType mediaType;
@property(nonatomic, readonly) CMFormatDescriptionRef formatDescription;
@end

@interface AVCaptureInput : NSObject
@property(nonatomic, readonly) NSArray<AVCaptureInputPort*>* ports;
@end

@interface AVCaptureDeviceInput : AVCaptureInput
- (instancetype)initWithDevice:(AVCaptureDevice*)device error:(NSError**)outError;
@end

@interface AVCaptureOutput : NSObject
@end

@interface AVCaptureConnection : NSObject
@end

@protocol AVCaptureVideoDataOutputSampleBufferDelegate <NSObject>
@optional
- (void)captureOutput:(AVCaptureOutput*)output
    didOutputSampleBuffer:(CMSampleBufferRef)sampleBuffer
           fromConnection:(AVCaptureConnection*)connection;
@end

@interface AVCaptureVideoDataOutput : AVCaptureOutput
- (void)setSampleBufferDelegate:
            (id<AVCaptureVideoDataOutputSampleBufferDelegate>)sampleBufferDelegate
                          queue:(dispatch_queue_t)sampleBufferCallbackQueue;
@property(nonatomic, readonly) dispatch_queue_t sampleBufferCallbackQueue;
@property(nonatomic, copy) NSDictionary<NSString*, id>* videoSettings;
@property(nonatomic) BOOL alwaysDiscardsLateVideoFrames;
@end

@interface AVCaptureSession : NSObject
- (BOOL)canSetSessionPreset:(AVCaptureSessionPreset)preset;
@property(nonatomic, copy) AVCaptureSessionPreset sessionPreset;
@property(nonatomic, readonly) NSArray<AVCaptureInput*>* inputs;
@property(nonatomic, readonly) NSArray<AVCaptureOutput*>* outputs;
- (BOOL)canAddInput:(AVCaptureInput*)input;
- (void)addInput:(AVCaptureInput*)input;
- (void)removeInput:(AVCaptureInput*)input;
- (BOOL)canAddOutput:(AVCaptureOutput*)output;
- (void)addOutput:(AVCaptureOutput*)output;
- (void)removeOutput:(AVCaptureOutput*)output;
- (void)startRunning;
- (void)stopRunning;
@property(nonatomic, readonly, getter=isRunning) BOOL running;
@end
