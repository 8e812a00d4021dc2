// The drop file target on a list view, driven by Qt's drag events: which drags it takes, the effect
// it answers, the names it hands over, and the scrolling near the edges.

#include "ui/DropTarget.h"
#include "platform/ByteText.h"
#include "support/PeerProcess.h"

#include <QApplication>
#include <QListView>
#include <QMimeData>
#include <QStringListModel>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

QMimeData* filesData(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

class DropTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        QStringList rows;
        for (int i = 0; i < 40; ++i)
            rows << QStringLiteral("Titel %1").arg(i);
        model.setStringList(rows);
        QFont font = list.font();
        font.setPixelSize(11);
        list.setFont(font);
        list.setModel(&model);
        list.setGeometry(100, 100, 225, 150);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        target.dropActions = Qt::CopyAction;
        target.onDrop = [this](Qt::KeyboardModifiers, QPoint at, DropEffect& effect) {
            dropped << target.files;
            dropPoint = at;
            dropEffect = effect;
        };
        target.attach(&list);
    }

    // Sends one drag event to the list and returns whether it was accepted, and with which action.
    template <class Event, class... Args> std::pair<bool, Qt::DropAction> send(Args&&... args) {
        Event event(std::forward<Args>(args)...);
        QApplication::sendEvent(list.viewport(), &event);
        return {event.isAccepted(), event.dropAction()};
    }
    std::pair<bool, Qt::DropAction> enter(const QMimeData* data, QPoint at = {50, 60},
                                          Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction,
                                          Qt::KeyboardModifiers keys = Qt::NoModifier) {
        return send<QDragEnterEvent>(at, offered, data, Qt::LeftButton, keys);
    }
    std::pair<bool, Qt::DropAction> over(const QMimeData* data, QPoint at,
                                         Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction,
                                         Qt::KeyboardModifiers keys = Qt::NoModifier) {
        return send<QDragMoveEvent>(at, offered, data, Qt::LeftButton, keys);
    }
    std::pair<bool, Qt::DropAction> drop(const QMimeData* data, QPoint at = {50, 60},
                                         Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction,
                                         Qt::KeyboardModifiers keys = Qt::NoModifier) {
        return send<QDropEvent>(QPointF(at), offered, data, Qt::LeftButton, keys);
    }
    int topRow() const { return list.indexAt(QPoint(2, 2)).row(); }

    QStringListModel model;
    QListView list;
    FileDropTarget target;
    QStringList dropped;
    QPoint dropPoint;
    DropEffect dropEffect = dropNone;
};

TEST_F(DropTargetTest, FilesAreHandedOverInTheSourcesOrderAndCopied) {
    std::unique_ptr<QMimeData> data(filesData({"/m/b.MP3", "/m/a.mp3", "/m/c.wav"}));
    EXPECT_EQ(enter(data.get()), std::pair(true, Qt::CopyAction));
    EXPECT_TRUE(target.holdsData());
    EXPECT_TRUE(target.files.isEmpty()); // fetched at the drop only
    // Shift asks to move, which the list does not allow: still a copy.
    EXPECT_EQ(over(data.get(), {60, 70}, Qt::CopyAction | Qt::MoveAction, Qt::ShiftModifier),
              std::pair(true, Qt::CopyAction));
    EXPECT_EQ(drop(data.get(), {61, 71}, Qt::CopyAction | Qt::MoveAction, Qt::ShiftModifier),
              std::pair(true, Qt::CopyAction));
    EXPECT_EQ(dropped, QStringList({"/m/b.MP3", "/m/a.mp3", "/m/c.wav"}));
    EXPECT_EQ(dropPoint, QPoint(61, 71));
    EXPECT_EQ(dropEffect, dropCopy);
    // The names are valid inside the drop event only.
    EXPECT_TRUE(target.files.isEmpty());
    EXPECT_FALSE(target.holdsData());
}

TEST_F(DropTargetTest, NamesThatAreNotUtf8KeepTheirBytes) {
    // As a file manager sends them: each name's bytes percent-encoded.
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), "file:///m/caf%E9.mp3\r\nfile:///m/%C3%A9t%C3%A9.mp3\r\n");
    EXPECT_TRUE(enter(&data).first);
    EXPECT_TRUE(drop(&data).first);
    EXPECT_EQ(dropped,
              (QStringList{bytesToText("/m/caf\xe9.mp3"), QString::fromUtf8("/m/\xc3\xa9t\xc3\xa9.mp3")}));
}

TEST_F(DropTargetTest, DragsWithoutLocalFilesAreRefusedThroughout) {
    QMimeData text;
    text.setText(QStringLiteral("/m/a.mp3"));
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("http://127.0.0.1/a.mp3"))});
    for (const QMimeData* data : {&text, &web}) {
        EXPECT_FALSE(enter(data).first);
        EXPECT_FALSE(over(data, {60, 70}).first);
        EXPECT_FALSE(drop(data).first);
    }
    // Files from a source that only lets them be moved: no effect the list allows.
    std::unique_ptr<QMimeData> files(filesData({"/m/a.mp3"}));
    EXPECT_FALSE(enter(files.get(), {50, 60}, Qt::MoveAction).first);
    EXPECT_FALSE(drop(files.get(), {50, 60}, Qt::MoveAction).first);
    EXPECT_TRUE(dropped.isEmpty());
}

TEST_F(DropTargetTest, ThePointerNearTheTopOrBottomScrollsOneLineEveryTick) {
    QApplication::processEvents(); // the list shows its scroll bar
    std::unique_ptr<QMimeData> data(filesData({"/m/a.mp3"}));
    const int height = list.viewport()->height();
    ASSERT_EQ(topRow(), 0);
    enter(data.get());
    EXPECT_EQ(target.area().margin, 11);
    EXPECT_TRUE(target.area().verticalBar);
    EXPECT_FALSE(target.autoScrollTimer().isActive());

    over(data.get(), {60, height - 5});
    ASSERT_TRUE(target.autoScrollTimer().isActive());
    EXPECT_EQ(target.autoScrollTimer().interval(), 100);
    target.onAutoScrollTick();
    EXPECT_EQ(topRow(), 1);
    target.onAutoScrollTick();
    EXPECT_EQ(topRow(), 2);
    // The real timer goes on scrolling while the pointer stays.
    EXPECT_TRUE(waitUntil([&] { return topRow() >= 3; }, 10s));

    // Away from the edges the timer stops; near the top it scrolls back.
    over(data.get(), {60, height / 2});
    EXPECT_FALSE(target.autoScrollTimer().isActive());
    const int row = topRow();
    over(data.get(), {60, 4});
    EXPECT_TRUE(target.autoScrollTimer().isActive());
    target.onAutoScrollTick();
    EXPECT_EQ(topRow(), row - 1);

    QDragLeaveEvent leave;
    QApplication::sendEvent(list.viewport(), &leave);
    EXPECT_FALSE(target.autoScrollTimer().isActive());
    EXPECT_FALSE(target.holdsData());
}

} // namespace
