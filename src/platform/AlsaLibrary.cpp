// ALSA's entry points that the mixer and the engine's quiet guard use, defined here and forwarded to
// libasound, which is loaded with dlopen by the first call. Both first call it once the window's start
// has finished (the output opens after the first paint), and linking the library would cost every start
// its loading and relocations (half a millisecond or more) before main. The callers include ALSA's
// headers and call it as usual. Without the library each call fails as on a machine without a sound
// card.

#include "platform/LazyLibrary.h"
#include "platform/QuietAlsa.h"

#include <cerrno>

namespace {

// Each entry: an ALSA function the player calls; its type comes from the header.
#define MP3ZX_ALSA_SYMBOLS(X)                                                                               \
    X(snd_config_update_free_global)                                                                        \
    X(snd_lib_error_set_local)                                                                              \
    X(snd_mixer_open)                                                                                       \
    X(snd_mixer_close)                                                                                      \
    X(snd_mixer_attach)                                                                                     \
    X(snd_mixer_load)                                                                                       \
    X(snd_mixer_find_selem)                                                                                 \
    X(snd_mixer_selem_register)                                                                             \
    X(snd_mixer_selem_id_malloc)                                                                            \
    X(snd_mixer_selem_id_free)                                                                              \
    X(snd_mixer_selem_id_set_index)                                                                         \
    X(snd_mixer_selem_id_set_name)                                                                          \
    X(snd_mixer_selem_has_playback_switch)                                                                  \
    X(snd_mixer_selem_set_playback_switch_all)

struct Alsa {
    MP3ZX_ALSA_SYMBOLS(MP3ZX_LAZY_POINTER)
};

// The loaded library, or nullptr when it is missing or lacks a function.
const Alsa* alsa() {
    static const Alsa* const loaded = loadLazyLibrary<Alsa>("libasound.so.2", [](void* handle, Alsa& table) {
        MP3ZX_ALSA_SYMBOLS(MP3ZX_LAZY_LOAD)
        return true;
    });
    return loaded;
}

} // namespace

extern "C" {

int snd_config_update_free_global() {
    const Alsa* a = alsa();
    return a ? a->snd_config_update_free_global() : 0;
}

snd_local_error_handler_t snd_lib_error_set_local(snd_local_error_handler_t handler) {
    const Alsa* a = alsa();
    return a ? a->snd_lib_error_set_local(handler) : nullptr;
}

int snd_mixer_open(snd_mixer_t** mixer, int mode) {
    const Alsa* a = alsa();
    return a ? a->snd_mixer_open(mixer, mode) : -ENOENT;
}

int snd_mixer_close(snd_mixer_t* mixer) {
    const Alsa* a = alsa();
    return a ? a->snd_mixer_close(mixer) : -ENOENT;
}

int snd_mixer_attach(snd_mixer_t* mixer, const char* name) {
    const Alsa* a = alsa();
    return a ? a->snd_mixer_attach(mixer, name) : -ENOENT;
}

int snd_mixer_load(snd_mixer_t* mixer) {
    const Alsa* a = alsa();
    return a ? a->snd_mixer_load(mixer) : -ENOENT;
}

snd_mixer_elem_t* snd_mixer_find_selem(snd_mixer_t* mixer, const snd_mixer_selem_id_t* id) {
    const Alsa* a = alsa();
    return a ? a->snd_mixer_find_selem(mixer, id) : nullptr;
}

int snd_mixer_selem_register(snd_mixer_t* mixer, struct snd_mixer_selem_regopt* options,
                             snd_mixer_class_t** classp) {
    const Alsa* a = alsa();
    return a ? a->snd_mixer_selem_register(mixer, options, classp) : -ENOENT;
}

int snd_mixer_selem_id_malloc(snd_mixer_selem_id_t** id) {
    const Alsa* a = alsa();
    return a ? a->snd_mixer_selem_id_malloc(id) : -ENOENT;
}

void snd_mixer_selem_id_free(snd_mixer_selem_id_t* id) {
    if (const Alsa* a = alsa()) a->snd_mixer_selem_id_free(id);
}

void snd_mixer_selem_id_set_index(snd_mixer_selem_id_t* id, unsigned int index) {
    if (const Alsa* a = alsa()) a->snd_mixer_selem_id_set_index(id, index);
}

void snd_mixer_selem_id_set_name(snd_mixer_selem_id_t* id, const char* name) {
    if (const Alsa* a = alsa()) a->snd_mixer_selem_id_set_name(id, name);
}

int snd_mixer_selem_has_playback_switch(snd_mixer_elem_t* elem) {
    const Alsa* a = alsa();
    return a ? a->snd_mixer_selem_has_playback_switch(elem) : 0;
}

int snd_mixer_selem_set_playback_switch_all(snd_mixer_elem_t* elem, int value) {
    const Alsa* a = alsa();
    return a ? a->snd_mixer_selem_set_playback_switch_all(elem, value) : -ENOENT;
}

} // extern "C"
