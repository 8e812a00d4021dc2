#pragma once
// Keeps ALSA's own diagnostics off standard error for a scope on this thread. ALSA prints several
// lines for a missing card or device on every attempt to open one; the caller gets an error result
// instead and decides what to report. The handler is per thread, so ALSA users elsewhere keep theirs.

#include <cstdarg>
// This header declares snd_lib_error_set_local outside its extern "C" block; give it C linkage
// before asoundlib.h includes it again.
extern "C" {
#include <alsa/error.h>
}
#include <alsa/asoundlib.h>

class QuietAlsa {
public:
    QuietAlsa() : previous_(snd_lib_error_set_local(&QuietAlsa::ignore)) {}
    ~QuietAlsa() { snd_lib_error_set_local(previous_); }
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;

private:
    static void ignore(const char*, int, const char*, int, const char*, va_list) {}

    snd_local_error_handler_t previous_;
};
