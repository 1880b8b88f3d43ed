#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// Every picture of the program is drawn here at start-up; none comes from a file.

// The tool bar's icons, 32 by 32: 0 New, 1 Open, 2 Build, 3 Publish, 4 Browser, 5 Preview,
// 6 Home, 7 Back, 8 Forward, 9 Add, 10 Up, 11 Down, 12 Info, 13 Remove.
constexpr int ToolIconCount = 14;
QIcon ToolIcon(int index);

// The tree's icons, 16 by 16: 0 column, 1 link, 2 page.
constexpr int TreeIconColumn = 0;
constexpr int TreeIconLink = 1;
constexpr int TreeIconPage = 2;
QIcon TreeIcon(int index);

// The project folder of the Open dialog's list, 32 by 32.
QIcon FolderIcon();

// The program's icon at any size. Drawn without text, so it needs no running application
// (the build draws the installed icon file with it).
QImage ProgramIconImage(int size);
QIcon ProgramIcon();

// The splash window's start-up picture, 454 by 280.
QPixmap SplashPicture();

// The two lines of the legal notice (About box and splash window).
extern const char* const LegalNotice1;
extern const char* const LegalNotice2;
