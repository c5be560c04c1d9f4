#include "tools/camlist/listing_text.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using camlist::listingText;
using kxtools::CameraListing;
using kxtools::listCameras;

tvArray* cells(std::initializer_list<const char*> texts) {
    const std::size_t dims[] = {texts.size() == 0 ? 0u : 1u, texts.size()};
    tvArray* list = tvCreateCellArray(2, dims);
    std::size_t i = 0;
    for (const char* text : texts)
        tvSetCell(list, i++, tvCreateString(text));
    return list;
}

// Stand-ins for a listing module, each filling the slots as a module might.
void twoCameras(int count, tvArray* results[], int, const tvArray*[]) {
    ASSERT_GE(count, 3);
    results[0] = tvCreateLogicalScalar(true);
    results[1] = cells({"Integrated Camera", "USB Cam"});
    results[2] = cells({"/dev/video0", "/dev/video2"});
}

void noCameras(int, tvArray* results[], int, const tvArray*[]) {
    results[0] = tvCreateLogicalScalar(true);
    results[1] = cells({});
    results[2] = cells({});
}

void failing(int, tvArray* results[], int, const tvArray*[]) {
    results[0] = tvCreateLogicalScalar(false);
    results[1] = cells({});
    results[2] = cells({});
}

void unevenLists(int, tvArray* results[], int, const tvArray*[]) {
    results[0] = tvCreateLogicalScalar(true);
    results[1] = cells({"A", "B"});
    results[2] = cells({"/dev/video0"});
}

void nothingFilled(int, tvArray*[], int, const tvArray*[]) {}

TEST(CameraListing, ReadsNamesAndPathsInOrder) {
    const CameraListing listing = listCameras(&twoCameras);
    EXPECT_TRUE(listing.succeeded);
    EXPECT_EQ(std::vector<std::string>({"Integrated Camera", "USB Cam"}), listing.names);
    EXPECT_EQ(std::vector<std::string>({"/dev/video0", "/dev/video2"}), listing.places);
    EXPECT_EQ("Integrated Camera  /dev/video0\n"
              "USB Cam            /dev/video2\n",
              listingText(listing));
}

TEST(CameraListing, NoCamerasIsAnAnswerAndFailuresAreTold) {
    const CameraListing none = listCameras(&noCameras);
    EXPECT_TRUE(none.succeeded);
    EXPECT_TRUE(none.names.empty());
    EXPECT_EQ("no cameras found\n", listingText(none));

    EXPECT_FALSE(listCameras(&failing).succeeded);
    EXPECT_THROW(listCameras(&unevenLists), std::runtime_error);
    EXPECT_THROW(listCameras(&nothingFilled), std::runtime_error);
    EXPECT_THROW(listCameras(nullptr), std::runtime_error);
}

TEST(CameraListing, DetailsMakeABlockPerCamera) {
    const CameraListing listing = listCameras(&twoCameras);
    std::vector<camlist::CameraDetails> details(2);
    details[0].links = {"/dev/v4l/by-id/usb-Chicony_Integrated_Camera-video-index0",
                        "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:8:1.0-video-index0"};
    details[0].modes = {{"MJPEG", "1280x720", "30"},
                        {"MJPEG", "640x480", "30, 15"},
                        {"YUY2", "1280x720", "10, 5"},
                        {"YUY2", "640x480", "30"},
                        {"GREY", "320x240", "?"}};
    EXPECT_EQ("Integrated Camera\n"
              "  device  /dev/video0\n"
              "  link    /dev/v4l/by-id/usb-Chicony_Integrated_Camera-video-index0\n"
              "  link    /dev/v4l/by-path/pci-0000:00:14.0-usb-0:8:1.0-video-index0\n"
              "  modes   MJPEG  1280x720  30 fps\n"
              "                 640x480   30, 15 fps\n"
              "          YUY2   1280x720  10, 5 fps\n"
              "                 640x480   30 fps\n"
              "          GREY   320x240   rate not stated\n"
              "\n"
              "USB Cam\n"
              "  device  /dev/video2\n"
              "  modes   none stated (the camera could not be opened)\n",
              listingText(listing, details));
    EXPECT_EQ("no cameras found\n", listingText(listCameras(&noCameras), {}));
    EXPECT_THROW(listingText(listing, {}), std::invalid_argument);
}

} // namespace
