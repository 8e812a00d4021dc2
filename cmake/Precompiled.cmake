# Precompiled headers: the Qt and test framework headers dominate each translation unit's compile time,
# so they are parsed once per target (once for all test executables). Only outside headers go in:
# the project's own headers change too often to be worth it.
set(mp3zx_pch_core <algorithm> <atomic> <chrono> <functional> <memory> <mutex> <optional> <string> <vector>
    <QByteArray> <QDir> <QFile> <QFileInfo> <QObject> <QPointer> <QString> <QStringList> <QTimer>)
set(mp3zx_pch_widgets ${mp3zx_pch_core} <QApplication> <QKeyEvent> <QLabel> <QListView> <QMouseEvent>
    <QPainter> <QPushButton> <QWidget>)
set(mp3zx_pch_tests ${mp3zx_pch_widgets} <gtest/gtest.h> <gmock/gmock.h> <QCoreApplication> <QElapsedTimer>
    <QSignalSpy> <QTemporaryDir> <QTest>)

function(mp3zx_precompile target)
    if(MP3ZX_PCH)
        target_precompile_headers(${target} PRIVATE ${ARGN})
    endif()
endfunction()

# Uses the precompiled headers of another target with the same compile options.
function(mp3zx_reuse_precompiled target from)
    if(MP3ZX_PCH)
        target_precompile_headers(${target} REUSE_FROM ${from})
    endif()
endfunction()
