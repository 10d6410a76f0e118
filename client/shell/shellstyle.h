#pragma once

#include <QProxyStyle>

// The application's style: the platform's own, but for the standard
// pictures that Qt's widgets ask for while the main window is built (the
// overflow chevrons of the menu bar and the toolbar), which are drawn here.
// Qt's own come from an icon-theme search and then PNG files, and reading
// the first such file loads every image-format plugin installed: time and
// memory spent before the window can show.
class ShellStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // On a fresh instance of the style the application has now.
    ShellStyle();

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
        const QWidget *widget = nullptr) const override;

    // Makes it the application's style, before the first window is built;
    // again is harmless.
    static void Install();
};
