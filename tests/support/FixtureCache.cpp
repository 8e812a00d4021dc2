#include "support/FixtureCache.h"

#include "support/Mp3Fixtures.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace fixtures {

namespace {

std::string hexHash(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a: stable across builds, unlike std::hash
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// The shared folder, or "" when there is none we can trust: one that another user made (or could
// write into) might hand us files of theirs.
std::string makeCacheFolder() {
    const char* chosen = std::getenv("MP3ZX_FIXTURE_CACHE");
    const std::string folder =
        chosen && *chosen
            ? std::string(chosen)
            : (std::filesystem::temp_directory_path() / ("mp3zx-fixtures-" + std::to_string(::getuid())))
                  .string();
    ::mkdir(folder.c_str(), 0700);
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid() ||
        (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return {};
    return folder;
}

// A plain copy: new files get the process's usual mode, not the cache's private one.
bool copyBytes(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

const std::string& cacheFolder() {
    static const std::string folder = makeCacheFolder();
    return folder;
}

// Copies the made file into the cache under a private temporary name and renames it into place, so
// a process that makes the same fixture at the same time, or reads it meanwhile, never sees half a file.
void keep(const std::string& made, const std::string& kept) {
    std::string temporary = kept + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return;
    ::close(fd);
    if (!copyBytes(made, temporary) || ::rename(temporary.c_str(), kept.c_str()) != 0)
        ::unlink(temporary.c_str());
}

} // namespace

bool cachedFile(const std::string& path, std::string_view key,
                const std::function<bool(const std::string& path)>& make) {
    if (cacheFolder().empty()) return make(path);
    const std::string kept = cacheFolder() + "/" + hexHash(key);
    if (copyBytes(kept, path)) return true;
    if (!make(path)) return false;
    keep(path, kept);
    return true;
}

std::string contentKey(const std::string& path) {
    const auto bytes = readFile(path);
    return hexHash(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string toolKey(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return path;
    return path + ":" + std::to_string(status.st_size) + ":" + std::to_string(status.st_mtim.tv_sec) + "." +
           std::to_string(status.st_mtim.tv_nsec);
}

} // namespace fixtures
