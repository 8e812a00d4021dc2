#include "platform/EventLoop.h"

#include <QCoreApplication>

namespace {
thread_local int depth = 0;
} // namespace

void yieldToEvents(QEventLoop::ProcessEventsFlags flags) {
    ++depth;
    struct Leave {
        ~Leave() { --depth; }
    } leave;
    QCoreApplication::processEvents(flags);
}

int yieldDepth() {
    return depth;
}
