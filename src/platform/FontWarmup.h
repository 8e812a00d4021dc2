#pragma once
// The font configuration, read on a thread of its own while the application object is made. The first
// text the window lays out asks fontconfig for its fonts, and reading its configuration (a few dozen
// XML files) and its caches takes milliseconds on the window's thread; fontconfig may be initialised
// from any thread, Qt's own font database may not, so only fontconfig is warmed here.

#include <thread>

class FontWarmup {
public:
    // Starts reading; call at the top of main, before the application object.
    FontWarmup();
    FontWarmup(const FontWarmup&) = delete;
    FontWarmup& operator=(const FontWarmup&) = delete;
    ~FontWarmup() { wait(); }

    // Returns once the configuration has been read.
    void wait();

private:
    std::thread thread_;
};
