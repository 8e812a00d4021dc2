#include "audio/Wakeup.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <ctime>
#include <unistd.h>

namespace audio {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t), "the futex word is the atomic itself");

void Wakeup::wakeOne() noexcept {
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&pending_), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

void Wakeup::sleepWhileClear(std::chrono::milliseconds timeout) {
    const auto count = timeout.count() < 0 ? 0 : timeout.count();
    const timespec relative{static_cast<time_t>(count / 1000), static_cast<long>(count % 1000) * 1000000L};
    // A signal or a spurious return ends the sleep early; the caller checks its condition either way.
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&pending_), FUTEX_WAIT_PRIVATE, 0u, &relative, nullptr, 0);
}

} // namespace audio
