#include "platform/x11/X11Compositing.h"

#include "core/platform/Dispatcher.h"
#include "platform/x11/X11QtConnection.h"

#include <xcb/shape.h>
#include <xcb/xfixes.h>

#include <vector>

namespace ostrevane {

struct X11Compositing::Observers {
    std::mutex lock;
    Token last = 0;
    std::map<Token, std::function<void(bool)>> all;
};

X11Compositing::X11Compositing(std::shared_ptr<X11Connection> connection, Dispatcher& dispatcher)
    : m_connection(std::move(connection))
    , m_dispatcher(dispatcher)
    , m_observers(std::make_shared<Observers>())
{
    xcb_connection_t* c = m_connection->xcb();
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c, &xcb_shape_id);
    m_hasShape = shape && shape->present;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(m_connection->screenNumber());
    if (auto atom = m_connection->reply(xcb_intern_atom_reply, xcb_intern_atom(c, 0, name.size(), name.constData())))
        m_selection = atom->atom;
    watchSelection();
    m_compositing = ownerExists();
}

X11Compositing::~X11Compositing()
{
    if (m_eventToken)
        m_connection->removeEventHandler(m_eventToken);
}

// Selected before the owner is first read, so no change after that read goes unseen.
void X11Compositing::watchSelection()
{
    xcb_connection_t* c = m_connection->xcb();
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present || m_selection == XCB_NONE)
        return;
    // XFixes must be told the version we speak before it sends anything.
    if (!m_connection->reply(xcb_xfixes_query_version_reply,
                             xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION)))
        return;
    m_selectionEvent = xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY;
    m_eventToken = m_connection->addEventHandler([this](const xcb_generic_event_t& event) { onEvent(event); });
    xcb_xfixes_select_selection_input(c, m_connection->root(), m_selection,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    m_connection->flush();
}

bool X11Compositing::ownerExists() const
{
    if (m_selection == XCB_NONE)
        return false;
    auto owner = m_connection->reply(xcb_get_selection_owner_reply,
                                     xcb_get_selection_owner(m_connection->xcb(), m_selection));
    return owner && owner->owner != XCB_NONE;
}

void X11Compositing::onEvent(const xcb_generic_event_t& event)
{
    if (m_selectionEvent == 0 || (event.response_type & 0x7f) != m_selectionEvent)
        return;
    const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
    if (notify.selection != m_selection)
        return;
    const bool compositing = notify.owner != XCB_NONE;
    if (m_compositing.exchange(compositing) != compositing)
        announce(compositing);
}

void X11Compositing::announce(bool compositing)
{
    m_dispatcher.async([weak = std::weak_ptr(m_observers), compositing] {
        const std::shared_ptr<Observers> observers = weak.lock();
        if (!observers)
            return;
        std::vector<std::function<void(bool)>> called;
        {
            std::lock_guard lock(observers->lock);
            for (const auto& [token, observer] : observers->all)
                called.push_back(observer);
        }
        for (const auto& observer : called)
            observer(compositing);
    });
}

WindowCompositing::Token X11Compositing::observe(std::function<void(bool)> observer)
{
    std::lock_guard lock(m_observers->lock);
    m_observers->all.emplace(++m_observers->last, std::move(observer));
    return m_observers->last;
}

void X11Compositing::removeObserver(Token token)
{
    std::lock_guard lock(m_observers->lock);
    m_observers->all.erase(token);
}

// The window is Qt's, so its outline goes through the connection that created it and
// draws into it: on another connection the request may reach the server before the
// window does, fail, and leave the panel uncut until its outline changes.
void X11Compositing::setOutline(quintptr window, const QRegion& outline)
{
    if (!m_hasShape || window == 0)
        return;
    xcb_connection_t* c = qtX11Connection();
    if (!c)
        c = m_connection->xcb();
    const auto target = static_cast<xcb_window_t>(window);
    if (outline.isEmpty()) {
        xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, target, 0, 0, XCB_NONE);
    } else {
        std::vector<xcb_rectangle_t> rectangles;
        rectangles.reserve(size_t(outline.rectCount()));
        for (const QRect& r : outline)
            rectangles.push_back({static_cast<qint16>(r.x()), static_cast<qint16>(r.y()), static_cast<quint16>(r.width()),
                                  static_cast<quint16>(r.height())});
        // QRegion's rectangles come in bands, top to bottom and left to right.
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED, target, 0, 0,
                             static_cast<quint32>(rectangles.size()), rectangles.data());
    }
    xcb_flush(c);
}

} // namespace ostrevane
