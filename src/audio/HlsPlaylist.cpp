#include "audio/HlsPlaylist.h"

#include <charconv>
#include <utility>
#include <vector>

namespace audio {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        result.push_back(trimmed(text.substr(0, end)));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return result;
}

// The number after NAME= in an attribute list; a quoted value or another attribute whose name ends
// in NAME (AVERAGE-BANDWIDTH holds BANDWIDTH) does not count.
std::optional<long> numberAttribute(std::string_view attributes, std::string_view name) {
    bool quoted = false;
    for (std::size_t at = 0; at < attributes.size(); ++at) {
        if (attributes[at] == '"') quoted = !quoted;
        if (quoted || (at > 0 && attributes[at - 1] != ',' && attributes[at - 1] != ':')) continue;
        if (attributes.substr(at, name.size()) != name || attributes.substr(at + name.size(), 1) != "=")
            continue;
        const char* first = attributes.data() + at + name.size() + 1;
        long value = 0;
        auto [end, error] = std::from_chars(first, attributes.data() + attributes.size(), value);
        if (error == std::errc() && value >= 0) return value;
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

bool isMasterPlaylist(std::string_view playlist) {
    for (std::string_view line : lines(playlist))
        if (line.starts_with("#EXT-X-STREAM-INF")) return true;
    return false;
}

std::optional<std::string> chooseVariant(std::string_view playlist) {
    std::optional<std::string> best, lowest;
    long bestRate = -1, lowestRate = 0;
    std::optional<long> pendingRate; // of the #EXT-X-STREAM-INF waiting for its URI line
    for (std::string_view line : lines(playlist)) {
        if (line.starts_with("#EXT-X-STREAM-INF")) {
            pendingRate = numberAttribute(line, "AVERAGE-BANDWIDTH");
            if (!pendingRate) pendingRate = numberAttribute(line, "BANDWIDTH");
            if (!pendingRate) pendingRate = 0;
            continue;
        }
        if (line.empty() || line.starts_with('#') || !pendingRate) continue;
        const long rate = *std::exchange(pendingRate, std::nullopt);
        if (rate <= kMaxVariantBitrate && rate > bestRate) {
            best = std::string(line);
            bestRate = rate;
        }
        if (!lowest || rate < lowestRate) {
            lowest = std::string(line);
            lowestRate = rate;
        }
    }
    return best ? best : lowest;
}

std::string resolveUrl(std::string_view base, std::string_view reference) {
    const std::size_t schemeEnd = base.find("://");
    const std::size_t colon = reference.find(':');
    if (colon != std::string_view::npos &&
        reference.substr(0, colon).find_first_of("/?#") == std::string_view::npos)
        return std::string(reference); // absolute
    if (schemeEnd == std::string_view::npos) return std::string(reference);
    const std::string_view scheme = base.substr(0, schemeEnd + 1);
    if (reference.starts_with("//")) return std::string(scheme) + std::string(reference);
    const std::size_t pathStart = std::min(base.find_first_of("/?#", schemeEnd + 3), base.size());
    const std::string_view origin = base.substr(0, pathStart);
    if (reference.starts_with('/')) return std::string(origin) + std::string(reference);
    std::string_view path = base.substr(pathStart);
    path = path.substr(0, std::min(path.find_first_of("?#"), path.size()));
    path = path.substr(0, path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1);
    return std::string(origin) + (path.empty() ? "/" : std::string(path)) + std::string(reference);
}

} // namespace audio
