#pragma once

class QAction;
class QMainWindow;
class QToolBar;
class QWidget;

// The main window's menus and toolbar. The actions only raise the window's
// command signals; the units do the work.
struct Form1Menus {
    QAction *mnuConnect = nullptr;
    QAction *mnuDisConnect = nullptr;
    QAction *mnuExportMsg = nullptr;
    QAction *mnuOptions = nullptr;
    QAction *mnuExit = nullptr;
    QAction *mnuHelp = nullptr;
    QAction *mnuAboutWS = nullptr;
    QToolBar *toolbar = nullptr;
    // Toolbar buttons by key: "Connect", "DisConnect", "Refresh".
    QAction *tbConnect = nullptr;
    QAction *tbDisConnect = nullptr;
    QAction *tbRefresh = nullptr;
};

// Builds the menu bar and the toolbar of `window`; `logo` goes to the
// toolbar's right end.
Form1Menus BuildForm1Menus(QMainWindow *window, QWidget *logo);
