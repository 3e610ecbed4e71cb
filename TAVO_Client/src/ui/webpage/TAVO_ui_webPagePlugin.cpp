#include <QCoreApplication>
#include <QOpenGLContext>
#include <QWebEngineView>

// QtGui's global share context, the one a program gets from Qt::AA_ShareOpenGLContexts. The web
// engine declares and uses these two functions the same way.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);
Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();
QT_END_NAMESPACE

namespace {

// The web engine renders through an OpenGL context shared with the application's. A program
// that links it gets that context at start-up; this module is loaded later, so it makes the
// context itself, and a client that never shows a web page never pays for OpenGL.
void shareOpenGLContexts()
{
    if (qt_gl_global_share_context())
        return;
    auto *context = new QOpenGLContext(QCoreApplication::instance());
    context->create();
    qt_gl_set_global_share_context(context);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

} // namespace

// The one entry point of the module, resolved by name when the first browser window is needed.
extern "C" Q_DECL_EXPORT QWidget *tavoCreateWebPage()
{
    // The client writes nothing outside its cache: no compiled shaders kept in ~/.cache either.
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    shareOpenGLContexts();
    return new QWebEngineView;
}
