#include "support/FolderHttpServer.h"

#include "support/Mp3Fixtures.h"

FolderHttpServer::FolderHttpServer(std::string folder)
    : folder_(std::move(folder)), server_([this](LoopbackServer::Connection& c) { serve(c); }) {}

void FolderHttpServer::serve(LoopbackServer::Connection& c) const {
    const auto head = c.readRequestHead();
    if (!head) return;
    const auto request = parseHttpRequest(*head);
    if (!request) return;
    std::string name = request->target.substr(0, request->target.find('?'));
    // Only names inside the folder.
    if (name.find("..") != std::string::npos) name.clear();
    const auto bytes = name.empty() ? std::vector<unsigned char>{} : fixtures::readFile(folder_ + name);
    if (bytes.empty()) {
        c.send(httpResponseHead(404, "Not Found", {{"Content-Length", "0"}}));
        return;
    }
    const std::string type = name.ends_with(".m3u8") ? "application/vnd.apple.mpegurl" : "video/mp2t";
    c.send(httpResponseHead(200, "OK",
                            {{"Content-Type", type}, {"Content-Length", std::to_string(bytes.size())}}) +
           std::string(bytes.begin(), bytes.end()));
}
