#pragma once
// The program's pointers, icon and placeholder drawing.
#include <QCursor>
#include <QIcon>
#include <QImage>

// Pointer numbers of the application's cursor table.
enum AppCursorId {
    kSortArrowCursor = 5,
    kZoomInCursor = 6,
    kZoomOutCursor = 7
};

// 5: CURSOR_1, a small downward arrow; 6: CURSOR_PLUS, 7: CURSOR_MINUS, magnifiers.
// Any other number gives the default arrow.
QCursor appCursor(int id);
// Which of the three an existing cursor is (compares the bitmaps); 0 when none.
int appCursorId(const QCursor& cursor);

QIcon programIcon();
QPixmap programIconPixmap();  // 32 x 32

// NOFILE: 500 x 300, monochrome, black on white, the two lines centred in the upper half.
QImage placeholderDrawing();
