#include "platform/AlsaMixer.h"

#include "platform/QuietAlsa.h"

#include <cerrno>
#include <memory>

namespace {

struct MixerCloser {
    void operator()(snd_mixer_t* handle) const { snd_mixer_close(handle); }
};
using MixerHandle = std::unique_ptr<snd_mixer_t, MixerCloser>;

struct SelemIdFree {
    void operator()(snd_mixer_selem_id_t* id) const { snd_mixer_selem_id_free(id); }
};

} // namespace

AlsaMixer::AlsaMixer(std::string device, std::string element)
    : device_(std::move(device)), element_(std::move(element)) {}

int AlsaMixer::findMasterSwitch() {
    return withSwitch(false, false);
}

int AlsaMixer::setMasterMuted(bool muted) {
    return withSwitch(true, muted);
}

int AlsaMixer::withSwitch(bool set, bool muted) {
    const QuietAlsa quiet;
    const int rc = withSwitchOnce(set, muted);
    if (rc == 0) return 0;
    // ALSA decides once what "default" is, by whether a sound server runs then; one that started (or
    // came back) since is found only when the configuration is read again.
    snd_config_update_free_global();
    return withSwitchOnce(set, muted);
}

int AlsaMixer::withSwitchOnce(bool set, bool muted) {
    snd_mixer_t* raw = nullptr;
    int rc = snd_mixer_open(&raw, 0);
    if (rc < 0) return -rc;
    MixerHandle mixer(raw);
    if ((rc = snd_mixer_attach(mixer.get(), device_.c_str())) < 0) return -rc;
    if ((rc = snd_mixer_selem_register(mixer.get(), nullptr, nullptr)) < 0) return -rc;
    if ((rc = snd_mixer_load(mixer.get())) < 0) return -rc;

    snd_mixer_selem_id_t* rawId = nullptr;
    if ((rc = snd_mixer_selem_id_malloc(&rawId)) < 0) return -rc;
    std::unique_ptr<snd_mixer_selem_id_t, SelemIdFree> id(rawId);
    snd_mixer_selem_id_set_index(id.get(), 0);
    snd_mixer_selem_id_set_name(id.get(), element_.c_str());

    snd_mixer_elem_t* elem = snd_mixer_find_selem(mixer.get(), id.get());
    if (!elem) return ENOENT;
    if (!snd_mixer_selem_has_playback_switch(elem)) return ENOTSUP;
    if (!set) return 0;
    rc = snd_mixer_selem_set_playback_switch_all(elem, muted ? 0 : 1);
    return rc < 0 ? -rc : 0;
}
