#include "windowlayout.h"

#include <QDataStream>
#include <QEvent>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QTimer>

namespace {

// Quiet time after the last resize that counts as the window's final size.
constexpr int settleMs = 1000;

// Lays the docks out again after each resize until the window's size has settled.
class DockStateKeeper : public QObject
{
public:
    explicit DockStateKeeper(QMainWindow *window)
        : QObject(window)
        , m_window(window)
    {
        setObjectName(QStringLiteral("dockStateKeeper"));
        m_apply.setSingleShot(true);
        m_apply.setInterval(0);
        connect(&m_apply, &QTimer::timeout, this, [this] { m_window->restoreState(m_state); });
        m_settle.setSingleShot(true);
        m_settle.setInterval(settleMs);
        connect(&m_settle, &QTimer::timeout, this, &QObject::deleteLater);
        window->installEventFilter(this);
    }

    void keep(const QByteArray &state)
    {
        m_state = state;
        m_window->restoreState(state);
        // A hidden window gets its size when shown; until then it waits.
        if (m_window->isVisible())
            m_settle.start();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
            // Once the resizes of a burst are handled, so the layout is laid for the last one.
            m_apply.start();
            if (m_window->isVisible())
                m_settle.start();
        }
        return false;
    }

private:
    QMainWindow *m_window;
    QByteArray m_state;
    QTimer m_apply;
    QTimer m_settle;
};

} // namespace

bool savedGeometryIsMaximized(const QByteArray &geometry)
{
    QDataStream stream(geometry);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0;
    quint16 minor = 0;
    QRect frame;
    QRect normal;
    qint32 screen = 0;
    quint8 maximized = 0;
    stream >> magic >> major >> minor >> frame >> normal >> screen >> maximized;
    return stream.status() == QDataStream::Ok && magic == 0x1D9D0CB && major >= 1 && maximized != 0;
}

void restoreWindowLayout(QMainWindow *window, const QByteArray &geometry, const QByteArray &state)
{
    // Maximised already and maximised when saved: the restore would only take the window
    // through its normal size and back, and the docks would be laid out for the wrong one.
    if (!(window->isMaximized() && savedGeometryIsMaximized(geometry)))
        window->restoreGeometry(geometry);
    if (state.isEmpty())
        return;
    auto *keeper = window->findChild<DockStateKeeper *>(QStringLiteral("dockStateKeeper"), Qt::FindDirectChildrenOnly);
    if (!keeper)
        keeper = new DockStateKeeper(window);
    keeper->keep(state);
}
