#include "platform/FontWarmup.h"

#include <dlfcn.h>

namespace {

// Qt's GUI library links fontconfig; the program itself does not, so it is looked up among the libraries
// already loaded, and with a Qt that renders without it nothing is warmed.
void readFontConfiguration() {
    using Init = int (*)();
    if (auto* init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit"))) init();
}

} // namespace

FontWarmup::FontWarmup() : thread_(readFontConfiguration) {}

void FontWarmup::wait() {
    if (thread_.joinable()) thread_.join();
}
