#pragma once
// Files made by slow tools (lame, ffmpeg) are made once per run: each is kept under a key that names
// everything it was made from, in a folder the run's test processes share ($MP3ZX_FIXTURE_CACHE, which
// scripts/test.sh sets, else a folder of the user's own under the temporary folder). A test always
// gets a copy of its own, so it may change or delete its file freely.

#include <functional>
#include <string>
#include <string_view>

namespace fixtures {

// Puts the file made for key at path: a copy of the kept one, or, the first time, what make(path)
// writes, which is then kept. False when make fails (nothing is kept then).
bool cachedFile(const std::string& path, std::string_view key,
                const std::function<bool(const std::string& path)>& make);

// A text that changes whenever the file's bytes do; for keys of fixtures made from other files.
std::string contentKey(const std::string& path);
// A text that changes when the tool (an executable) is replaced, so an upgrade makes fixtures anew.
std::string toolKey(const std::string& path);

} // namespace fixtures
