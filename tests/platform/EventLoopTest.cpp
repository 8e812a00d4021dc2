// The one re-entry into the event loop: what runs inside it sees the depth, which is back to zero
// afterwards, also when a handler inside re-enters again.

#include "platform/EventLoop.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(EventLoopTest, HandlersInsideSeeTheDepthAndItIsUndoneAfterwards) {
    int outer = -1;
    int inner = -1;
    QTimer::singleShot(0, [&] {
        outer = yieldDepth();
        QTimer::singleShot(0, [&] { inner = yieldDepth(); });
        yieldToEvents();
    });
    EXPECT_EQ(yieldDepth(), 0);
    yieldToEvents();
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 2);
    EXPECT_EQ(yieldDepth(), 0);
}

} // namespace
