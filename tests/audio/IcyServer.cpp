#include "IcyServer.h"

#include "support/Mp3Fixtures.h"

#include <algorithm>

namespace audiotest {

std::string icyBlock(std::string_view text) {
    text = text.substr(0, std::min<std::size_t>(text.size(), 4080));
    std::size_t units = (text.size() + 15) / 16;
    std::string block(1, static_cast<char>(units));
    block += text;
    block.resize(1 + units * 16, '\0');
    return block;
}

namespace {
std::string readAll(const std::string& path) {
    auto bytes = fixtures::readFile(path);
    return {bytes.begin(), bytes.end()};
}
} // namespace

IcyServer::IcyServer(const std::string& mp3, IcyPlan plan)
    : audio_(readAll(mp3)), plan_(std::move(plan)),
      server_([this](LoopbackServer::Connection& c) { serve(c); }) {}

void IcyServer::serve(LoopbackServer::Connection& connection) {
    auto head = connection.readRequestHead();
    if (!head) return;
    if (auto request = parseHttpRequest(*head)) {
        auto it = request->headers.find("icy-metadata");
        askedForMetadata_.store(it != request->headers.end() && it->second == "1");
    }
    const bool withMetadata = plan_.metaIntervalHeader != "-";
    std::vector<std::pair<std::string, std::string>> headers = {{"Content-Type", plan_.contentType},
                                                                {"icy-name", "Test Radio"}};
    if (withMetadata) {
        headers.emplace_back("icy-metaint", plan_.metaIntervalHeader.empty()
                                                ? std::to_string(plan_.metaInterval)
                                                : plan_.metaIntervalHeader);
    }
    if (!connection.send(responseHead(plan_.statusLine, headers))) return;
    if (audio_.empty()) return;

    std::size_t at = 0;
    for (int block = 0; plan_.blocks < 0 || block < plan_.blocks; ++block) {
        std::string chunk;
        while (chunk.size() < plan_.metaInterval) {
            std::size_t n = std::min(plan_.metaInterval - chunk.size(), audio_.size() - at);
            chunk.append(audio_, at, n);
            at = (at + n) % audio_.size();
        }
        if (!connection.send(chunk)) return;
        if (withMetadata) {
            std::string meta = plan_.metadataBlock ? plan_.metadataBlock(block) : std::string(1, '\0');
            if (plan_.splitMetadata && meta.size() > 2) {
                std::size_t half = meta.size() / 2;
                if (!connection.send(std::string_view(meta).substr(0, half))) return;
                if (!connection.sleepFor(std::chrono::milliseconds(200))) return;
                if (!connection.send(std::string_view(meta).substr(half))) return;
            } else if (!connection.send(meta)) {
                return;
            }
        }
        if (block >= plan_.burstBlocks) {
            auto pause = std::chrono::milliseconds(1000 * static_cast<long long>(plan_.metaInterval) /
                                                   plan_.bytesPerSecond);
            if (!connection.sleepFor(pause)) return;
        }
    }
    if (plan_.end == IcyPlan::End::Close) {
        connection.close();
    } else {
        while (connection.sleepFor(std::chrono::seconds(1))) {
        }
    }
}

} // namespace audiotest
