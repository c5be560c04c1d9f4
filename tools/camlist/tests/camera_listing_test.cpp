#include "tools/camlist/camera_listing.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using camlist::CameraListing;
using camlist::listCameras;
using camlist::listingText;

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

} // namespace
