#pragma once
// Fakes of the platform services for unit tests. Each records what the player asked of it and answers
// as the test says.

#include "app/Window.h"
#include "audio/AudioEngine.h"
#include "platform/Dialogs.h"
#include "platform/HotKeys.h"
#include "platform/Mixer.h"

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
        QWORD offset = 0;
        QWORD length = 0;
        DWORD flags = 0;
        ChannelState active = ChannelState::Stopped;
        QWORD position = 0;
        QWORD decodedLength = 0;
        double seconds = 0;
        QWORD fileSize = 0;
        std::string tags;
        bool hasTags = false;
        SYNCPROC sync;
        bool freed = false;
    };

    // What the engine answers.
    DWORD versionAnswer = 0x02030000;
    BOOL initResult = 1;
    DWORD volume = 100;
    // Per-path answers for file streams; a path not listed opens with these defaults.
    QWORD defaultLength = 44100ull * 4 * 180;
    double defaultSeconds = 180.0;
    QWORD defaultFileSize = 2880000;
    std::map<std::string, QWORD> lengths;
    std::map<std::string, double> secondsOf;
    std::vector<std::string> unopenable;
    // URL streams that fail to open.
    std::vector<std::string> unreachable;
    // Samples delivered by decode streams, by path; each call takes the next block.
    std::map<std::string, std::deque<std::vector<float>>> decodeBlocks;
    DWORD levelAnswer = 0;

    // What the player asked.
    std::vector<std::string> calls;
    std::vector<DWORD> volumesSet;
    std::map<DWORD, Stream> streams;
    ChannelHandle lastHandle = 0;

    Stream* stream(DWORD h);
    // Lets a playing stream end, as the engine does when it reaches its end (autofree).
    void finish(DWORD h);
    // Delivers new metadata on a URL stream, as the engine's thread would.
    void sendMeta(DWORD h, const std::string& meta);
    bool called(const std::string& call) const;
    int count(const std::string& call) const;

    DWORD version() override;
    BOOL openOutput(int device, DWORD freq, DWORD flags, void* win, const void* clsid) override;
    BOOL stopOutput() override;
    BOOL closeOutput() override;
    DWORD gain() override;
    BOOL setGain(DWORD volume) override;
    ChannelHandle openFile(BOOL mem, const char* file, QWORD offset, QWORD length, DWORD flags) override;
    ChannelHandle openUrl(const char* url, DWORD offset, DWORD flags, void* proc, void* user) override;
    BOOL release(ChannelHandle handle) override;
    QWORD downloadedBytes(ChannelHandle handle, DWORD mode) override;
    BOOL play(DWORD handle, BOOL restart) override;
    BOOL pause(DWORD handle) override;
    BOOL stop(DWORD handle) override;
    ChannelState state(DWORD handle) override;
    QWORD length(DWORD handle) override;
    QWORD position(DWORD handle) override;
    BOOL seek(DWORD handle, QWORD pos) override;
    double seconds(DWORD handle, QWORD pos) override;
    DWORD read(DWORD handle, void* buffer, DWORD length) override;
    DWORD level(DWORD handle) override;
    const char* metadata(DWORD handle, DWORD tags) override;
    HSYNC onMetadata(DWORD handle, DWORD type, QWORD param, SYNCPROC proc, void* user) override;
    // Kept for the test to call, as the engine does when it has opened a lost output again.
    std::function<void()> outputReturnHandler;
    void setOutputReturnHandler(std::function<void()> handler) override {
        outputReturnHandler = std::move(handler);
    }

private:
    Stream* live(DWORD h);
    void log(const std::string& call) { calls.push_back(call); }
    std::string tagCopy_;
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
    void processEvents() override {
        ++eventPasses;
        if (duringEvents) duringEvents();
    }
};
