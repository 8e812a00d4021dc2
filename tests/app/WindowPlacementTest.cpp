// A saved window position that would leave the title strip on no screen is brought back onto the
// primary one; any other stays as saved.

#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

namespace {

const QSize window{844, 224};
const QRect primary(0, 0, 1280, 1024);

TEST(WindowPlacementTest, AStripPartlyOnAScreenStaysWhereItWasSaved) {
    EXPECT_EQ(reachablePosition({50, 50}, window, {primary}), QPoint(50, 50));
    EXPECT_EQ(reachablePosition({-800, 50}, window, {primary}), QPoint(-800, 50));
    EXPECT_EQ(reachablePosition({1270, 1010}, window, {primary}), QPoint(1270, 1010));
    // On a second screen beside the primary one.
    EXPECT_EQ(reachablePosition({2000, 100}, window, {primary, QRect(1280, 0, 1920, 1080)}),
              QPoint(2000, 100));
}

TEST(WindowPlacementTest, AStripOnNoScreenComesBackWhollyOntoThePrimaryArea) {
    EXPECT_EQ(reachablePosition({3000, 50}, window, {primary}), QPoint(1280 - 844, 50));
    EXPECT_EQ(reachablePosition({-900, -30}, window, {primary}), QPoint(0, 0));
    // A monitor since unplugged, and a panel at the primary screen's bottom.
    const QRect panelled(0, 0, 1280, 1000);
    EXPECT_EQ(reachablePosition({3300, 1100}, window, {panelled, QRect(1280, 0, 1920, 1080)}),
              QPoint(1280 - 844, 1000 - 224));
    // The strip hidden by the panel alone is out of reach too.
    EXPECT_EQ(reachablePosition({100, 1005}, window, {panelled}), QPoint(100, 1000 - 224));
    // Without screens nothing is known: the saved place stays.
    EXPECT_EQ(reachablePosition({3000, 50}, window, {}), QPoint(3000, 50));
}

} // namespace
