#pragma once
// Fakes of the platform services for unit tests. Each records what the player asked of it and answers
// as the test says.

#include "audio/AudioEngine.h"
#include "platform/Dialogs.h"
#include "platform/HotKeys.h"
#include "platform/Mixer.h"
#include "platform/Window.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class FakeAudioEngine : public AudioEngine {
public:
    struct Stream {
        std::string path;
        std::string url;
        OpenOptions options;
        ChannelState active = ChannelState::Stopped;
        std::int64_t position = 0;
        std::int64_t decodedLength = 0;
        double seconds = 0;
        std::int64_t fileSize = 0;
        std::optional<std::string> metadata;
        MetadataHandler metadataHandler;
        bool freed = false;
    };

    // What the engine answers.
    std::uint32_t versionAnswer = 0x02030000;
    bool initResult = true;
    int volume = 100;
    // Per-path answers for file streams; a path not listed opens with these defaults.
    std::int64_t defaultLength = 44100ll * 4 * 180;
    double defaultSeconds = 180.0;
    std::int64_t defaultFileSize = 2880000;
    std::map<std::string, std::int64_t> lengths;
    std::map<std::string, double> secondsOf;
    std::vector<std::string> unopenable;
    // URL streams that fail to open.
    std::vector<std::string> unreachable;
    // Samples delivered by decode streams, by path; each call takes the next block.
    std::map<std::string, std::deque<std::vector<float>>> decodeBlocks;
    std::optional<ChannelLevel> levelAnswer = ChannelLevel{};

    // What the player asked.
    std::vector<std::string> calls;
    std::vector<int> volumesSet;
    std::map<ChannelHandle, Stream> streams;
    ChannelHandle lastHandle;

    Stream* stream(ChannelHandle h);
    // Lets a playing stream end, as the engine does when it reaches its end (autofree).
    void finish(ChannelHandle h);
    // Delivers new metadata on a URL stream, as the engine's thread would.
    void sendMeta(ChannelHandle h, const std::string& meta);
    bool called(const std::string& call) const;
    int count(const std::string& call) const;

    std::uint32_t version() override;
    bool openOutput(int device, int rate) override;
    bool stopOutput() override;
    bool closeOutput() override;
    int gain() override;
    bool setGain(int volume) override;
    ChannelHandle openFile(const std::string& path, const OpenOptions& options) override;
    ChannelHandle openUrl(const std::string& url, const OpenOptions& options) override;
    bool release(ChannelHandle handle) override;
    std::int64_t downloadedBytes(ChannelHandle handle) override;
    bool play(ChannelHandle handle, bool restart) override;
    bool pause(ChannelHandle handle) override;
    bool stop(ChannelHandle handle) override;
    ChannelState state(ChannelHandle handle) override;
    std::int64_t length(ChannelHandle handle) override;
    std::int64_t position(ChannelHandle handle) override;
    bool seek(ChannelHandle handle, std::int64_t position) override;
    double seconds(ChannelHandle handle, std::int64_t bytes) override;
    std::int64_t read(ChannelHandle handle, void* buffer, std::size_t bytes) override;
    std::optional<ChannelLevel> level(ChannelHandle handle) override;
    std::optional<std::string> metadata(ChannelHandle handle) override;
    MetadataSubscription onMetadata(ChannelHandle handle, MetadataHandler handler) override;
    // Streams queued to follow others (by the stream they follow): finish() starts them, as the
    // engine does at a join, and tells the join handler at once.
    struct Join {
        ChannelHandle next;
        int gain = -1;
    };
    std::map<ChannelHandle, Join> joins;
    std::function<void(ChannelHandle)> joinHandler;
    bool queue(ChannelHandle current, ChannelHandle next, int gainAtJoin) override;
    bool unqueue(ChannelHandle next) override;
    void setJoinHandler(std::function<void(ChannelHandle)> handler) override {
        joinHandler = std::move(handler);
    }
    // Kept for the test to call, as the engine does when it has opened a lost output again.
    std::function<void()> outputReturnHandler;
    void setOutputReturnHandler(std::function<void()> handler) override {
        outputReturnHandler = std::move(handler);
    }

private:
    Stream* live(ChannelHandle h);
    ChannelHandle add(Stream stream);
    void log(const std::string& call) { calls.push_back(call); }
    // Removed subscriptions clear a stream's handler only while it is still theirs.
    std::uint64_t lastSubscription_ = 0;
    std::map<ChannelHandle, std::uint64_t> subscriptionOf_;
};

class FakeMixer : public IMixer {
public:
    int findResult = 0;
    int setResult = 0;
    std::optional<bool> muted;
    int sets = 0;
    int findMasterSwitch() override { return findResult; }
    int setMasterMuted(bool m) override {
        ++sets;
        if (setResult == 0) muted = m;
        return setResult;
    }
};

class FakeHotKeys : public IHotKeySource {
public:
    std::map<int, HotKey> registered;
    std::vector<HotKey> refused;
    bool registerHotKey(int id, unsigned modifiers, HotKey key) override;
    void unregisterHotKey(int id) override { registered.erase(id); }
    void press(int id) { deliver(id); }
};

class FakeDialogs : public IDialogs {
public:
    struct Message {
        QString text;
        MessageIcon icon;
    };
    std::vector<Message> messages;
    QStringList errors;
    std::vector<std::pair<QString, QPoint>> questions;
    bool answerYes = true;
    std::vector<FileDialogSpec> fileDialogs;
    std::deque<std::optional<QString>> fileAnswers;

    void message(const QString& text, MessageIcon icon) override { messages.push_back({text, icon}); }
    void showError(const QString& text) override { errors << text; }
    bool askYesCancel(const QString& text, QPoint topLeft) override {
        questions.emplace_back(text, topLeft);
        return answerYes;
    }
    std::optional<QString> chooseFile(const FileDialogSpec& spec) override;
    // Asked prompts with their presets; each answer is taken from textAnswers, else the preset is kept.
    std::vector<std::pair<QString, QString>> textQuestions;
    std::deque<std::optional<QString>> textAnswers;
    std::optional<QString> askText(const QString& prompt, const QString& preset) override;
};

class FakeWindow : public IWindow {
public:
    QPoint pos{0, 0};
    bool knowsPosition = true;
    int windowWidth = 840;
    bool shown = true;
    int raised = 0;
    int minimized = 0;
    int closed = 0;
    std::vector<FocusTarget> focused;
    std::vector<bool> busy;
    int topIndex = 0;
    // Width of a text: characters times this many pixels.
    int charWidth = 6;
    int eventPasses = 0;
    QList<QRect> screens{QRect(0, 0, 1280, 1024)};
    // Runs inside each pass of the event loop, as a pending event would.
    std::function<void()> duringEvents;

    void moveTo(int left, int top) override { pos = {left, top}; }
    QPoint position() const override { return pos; }
    bool positionKnown() const override { return knowsPosition; }
    int width() const override { return windowWidth; }
    bool isShown() const override { return shown; }
    void showWindow() override { shown = true; }
    void hideWindow() override { shown = false; }
    void minimizeWindow() override { ++minimized; }
    void raiseAndActivate() override { ++raised; }
    void closeWindow() override { ++closed; }
    void focus(FocusTarget target) override { focused.push_back(target); }
    void setBusy(bool b) override { busy.push_back(b); }
    int textWidth(const QString& text) const override { return static_cast<int>(text.size()) * charWidth; }
    int songListTopIndex() const override { return topIndex; }
    QList<QRect> screenAreas() const override { return screens; }
    void yieldToEvents() override {
        ++eventPasses;
        if (duringEvents) duringEvents();
    }
};
