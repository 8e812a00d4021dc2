// A station whose metadata blocks take every length the length byte allows (0 to 255 units of 16
// bytes), with titles that are Latin-1, UTF-8, cut-off UTF-8 or no encoding at all, some blocks too
// short for their own text. Through the real engine every block reaches the metadata handler in order, the
// audio between them keeps playing, and the player's title rule makes a readable title of each.

#include "AudioTestSupport.h"
#include "IcyServer.h"
#include "audio/Engine.h"
#include "platform/TextFile.h"
#include "playback/StreamTitle.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>

using namespace audiotest;
using namespace std::chrono_literals;

namespace {

// The title sent in the block of length byte n.
std::string titleFor(int n) {
    const std::string number = std::to_string(n);
    switch (n % 4) {
    case 0:
        return number + " Gr\xfc\xdf"
                        "e aus K\xf6ln"; // Latin-1
    case 1:
        return number + " Gr\xc3\xbc\xc3\x9f"
                        "e"; // UTF-8
    case 2:
        return number + " abc \xe2\x82"; // cut sequence
    default:
        return number + " \xc0\xaf \xed\xa0\x80 \xf8\x88\x80\x80\x80 x \x7e"; // no encoding
    }
}

std::string textFor(int n) {
    return "StreamTitle='" + titleFor(n) + "';StreamUrl='';";
}

// Exactly n units: the text NUL-padded, or cut where the block ends.
std::string blockOfLength(int n) {
    std::string block(1, static_cast<char>(n));
    std::string text = textFor(n);
    text.resize(static_cast<std::size_t>(n) * 16, '\0');
    return block + text;
}

struct Texts {
    std::mutex mutex;
    std::vector<std::string> seen;
    std::size_t count() {
        std::lock_guard lock(mutex);
        return seen.size();
    }
};

TEST(IcyTitleFaultTest, BlocksOfEveryLengthAndBrokenEncodingsGiveReadableTitles) {
    REQUIRE_LAME();
    const std::string mp3 =
        sharedMp3("icy-lengths.mp3",
                  {.waveform = fixtures::Waveform::Sine, .frequency = 440, .amplitude = 0.5, .seconds = 3.0},
                  {.infoTag = false});
    ASSERT_FALSE(mp3.empty());
    // The server sends as fast as it can into a network buffer that holds the whole sweep, so the
    // blocks are parsed at once instead of at the pace of playback.
    audio::Engine::Options options;
    options.networkBufferBytes = 1 << 20;
    audio::Engine engine(options);
    ASSERT_TRUE(engine.openOutput(-1, 44100));

    IcyPlan plan;
    plan.metaInterval = 512; // 32 ms of audio between blocks at 128 kbit/s
    plan.bytesPerSecond = 100 * 16000;
    // The sweep of lengths starts once the handler is in place; blocks before it carry nothing.
    std::atomic<bool> go{false};
    std::atomic<int> first{-1};
    plan.metadataBlock = [&go, &first](int block) {
        if (!go) return std::string(1, '\0');
        if (first < 0) first = block;
        const int n = block - first;
        return n < 256 ? blockOfLength(n) : std::string(1, '\0');
    };
    plan.end = IcyPlan::End::Hang;
    IcyServer server(mp3, plan);

    ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
    ASSERT_TRUE(h);
    Texts texts;
    const MetadataSubscription subscription = engine.onMetadata(h, [&texts](const std::string& text) {
        std::lock_guard lock(texts.mutex);
        texts.seen.push_back(text);
    });
    go = true;
    ASSERT_TRUE(engine.play(h, false));
    // Blocks 1 to 255 all differ; block 0 and the empty blocks after 255 carry nothing.
    ASSERT_TRUE(waitUntil([&] { return texts.count() >= 255; }, 120s))
        << texts.count() << " of 255 blocks seen";
    EXPECT_EQ(engine.state(h), ChannelState::Playing) << "the audio between the blocks was lost";
    // Released before the texts are locked: a sync in flight takes that lock while release waits for it.
    engine.release(h);

    std::lock_guard lock(texts.mutex);
    ASSERT_EQ(texts.seen.size(), 255u);
    for (int n = 1; n <= 255; ++n) {
        SCOPED_TRACE("length byte " + std::to_string(n));
        std::string sent = textFor(n).substr(0, static_cast<std::size_t>(n) * 16);
        const std::string& got = texts.seen[static_cast<std::size_t>(n - 1)];
        EXPECT_EQ(got, sent);

        // What the title label would show, before fitting it to the label.
        const QString title = streamTitleFromMetadata(decodeText(QByteArray::fromStdString(got)));
        ASSERT_TRUE(title.endsWith(QStringLiteral("  ")));
        // Bytes that are no UTF-8 show as Latin-1 (C1 controls included), but no control character
        // of the ASCII range and no NUL reaches the label.
        for (const QChar c : title)
            EXPECT_TRUE(c.unicode() >= 0x20 && c.unicode() != 0x7f)
                << "control U+" << std::hex << int(c.unicode());
        EXPECT_TRUE(title.startsWith(QString::number(n) + u' ') ||
                    title.startsWith(QString::number(n) + u'\''))
            << title.toStdString();
        if (sent == textFor(n)) {
            // A whole title: every byte is shown, as UTF-8 where it is valid and as Latin-1 otherwise.
            EXPECT_EQ(title, decodeText(QByteArray::fromStdString(titleFor(n))) + QStringLiteral("  "));
            const auto bytes = static_cast<qsizetype>(titleFor(n).size());
            EXPECT_EQ(title.size(), n % 4 == 1 ? bytes : bytes + 2); // two 2-byte sequences in UTF-8
        }
    }
}

} // namespace
