#pragma once
// An HTTP server on 127.0.0.1 that serves the files of a folder by name, read anew for each request
// (so files a live HLS segmenter rewrites are served as they are now); a missing file is 404.
// Playlists go out as application/vnd.apple.mpegurl, everything else as MPEG-TS.

#include "support/LoopbackServer.h"

#include <string>

class FolderHttpServer {
public:
    explicit FolderHttpServer(std::string folder);

    // "http://127.0.0.1:<port>" + path
    std::string url(const std::string& path) const { return server_.url(path); }

private:
    void serve(LoopbackServer::Connection& c) const;

    std::string folder_;
    LoopbackServer server_;
};
