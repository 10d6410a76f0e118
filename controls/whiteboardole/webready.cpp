// The OpenGL preparation of the window a web page will show in, in a library
// of its own: the control loads it when a class is entered, so that Qt's
// OpenGL libraries are not loaded at every start of the client.
#include "controls/whiteboardole/webviewinterface.h"

#include <QOpenGLWidget>

extern "C" Q_DECL_EXPORT QWidget *lumo_new_web_ready_widget(QWidget *parent)
{
    return new QOpenGLWidget(parent);
}
