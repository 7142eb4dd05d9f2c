#include "platform/x11/X11WindowServer.h"

#include "core/platform/Dispatcher.h"

#include <xcb/composite.h>

namespace ostrevane {

namespace {

constexpr quint8 argbDepth = 32;
constexpr quint8 rgbDepth = 24;
constexpr quint8 pixelBits = 32;

// Bits per pixel and scanline padding the server uses for images of `depth`.
std::optional<xcb_format_t> pixmapFormat(xcb_connection_t* connection, quint8 depth)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it))
        if (it.data->depth == depth)
            return *it.data;
    return std::nullopt;
}

// A copy that owns its pixels (the source may borrow a reply), scaled down when large.
ImageHandle thumbnail(const QImage& image)
{
    const int side = X11WindowServer::maxThumbnailSide;
    if (std::max(image.width(), image.height()) <= side)
        return std::make_shared<const QImage>(image.copy());
    return std::make_shared<const QImage>(image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

} // namespace

X11WindowServer::X11WindowServer(std::shared_ptr<X11Clients> clients, Dispatcher& dispatcher)
    : m_clients(std::move(clients))
    , m_queue(dispatcher.makeSerialQueue(QueuePriority::utility))
    , m_liveness(std::make_shared<Liveness>())
{
    m_eventToken = m_clients->connection().addEventHandler([this](const xcb_generic_event_t& event) { onEvent(event); });
    later([](X11WindowServer& self) { self.followNewClients(); });
}

X11WindowServer::~X11WindowServer()
{
    m_clients->connection().removeEventHandler(m_eventToken);
    std::lock_guard lock(m_liveness->lock);
    m_liveness->alive = false;
    X11Connection& c = m_clients->connection();
    for (const auto& [window, followed] : m_followed)
        xcb_free_pixmap(c.xcb(), followed.pixmap);
    c.flush();
}

// From the window snapshot: while no window changed, listing costs one round trip.
std::vector<WindowListEntry> X11WindowServer::windowList()
{
    std::vector<WindowListEntry> result;
    for (const X11WindowRecord& record : m_clients->allRecords()) {
        const X11ClientState& s = record.state;
        // On screen only, without the desktop's own elements.
        if (!s.exists || s.hidden || s.kind == X11WindowKind::dock || s.kind == X11WindowKind::desktop)
            continue;
        const X11Client& client = record.client;
        WindowListEntry entry;
        if (!client.windowClass.isEmpty() || !client.instance.isEmpty())
            entry.ownerName = client.windowClass.isEmpty() ? client.instance : client.windowClass;
        if (client.pid > 0)
            entry.ownerPID = client.pid;
        result.push_back(std::move(entry));
    }
    return result;
}

ImageHandle X11WindowServer::captureWindow(quint32 windowNumber)
{
    const auto window = static_cast<xcb_window_t>(windowNumber);
    bool exists = true;
    const std::optional<Geometry> size = geometry(window, &exists);
    if (!size) {
        std::lock_guard lock(m_lock);
        const auto left = m_leftPictures.find(window);
        if (left == m_leftPictures.end())
            return nullptr;
        // A window that is gone takes its picture with it, even before its destruction
        // reaches the event thread.
        if (!exists) {
            m_leftPictures.erase(left);
            return nullptr;
        }
        return left->second;
    }
    if (m_clients->connection().hasComposite())
        if (ImageHandle image = captureComposited(window, *size))
            return image;
    return captureDrawable(window, *size);
}

// Size and depth of a window that is on screen; nothing for iconified (unmapped) or
// vanished windows, which cannot be read.
std::optional<X11WindowServer::Geometry> X11WindowServer::geometry(xcb_window_t window, bool* exists) const
{
    X11Connection& c = m_clients->connection();
    const auto geometryCookie = xcb_get_geometry(c.xcb(), window);
    const auto attributesCookie = xcb_get_window_attributes(c.xcb(), window);
    auto g = c.reply(xcb_get_geometry_reply, geometryCookie);
    auto a = c.reply(xcb_get_window_attributes_reply, attributesCookie);
    if (exists)
        *exists = g != nullptr;
    if (!g || !a || a->map_state != XCB_MAP_STATE_VIEWABLE || g->width == 0 || g->height == 0)
        return std::nullopt;
    return Geometry{g->width, g->height, g->depth};
}

// The window's own off-screen copy: what is under other windows is there too.
ImageHandle X11WindowServer::captureComposited(xcb_window_t window, const Geometry& geometry)
{
    X11Connection& c = m_clients->connection();
    if (!redirectOnce(window))
        return nullptr;
    const xcb_pixmap_t pixmap = xcb_generate_id(c.xcb());
    if (!c.check(xcb_composite_name_window_pixmap_checked(c.xcb(), window, pixmap)))
        return nullptr;
    ImageHandle image = captureDrawable(pixmap, geometry);
    xcb_free_pixmap(c.xcb(), pixmap);
    c.flush();
    return image;
}

// Automatic redirection keeps the window on screen as before and gives it an
// off-screen copy. The copy starts from what the screen showed, so the owner is asked
// to repaint once (an exposure), which fills in what other windows covered.
bool X11WindowServer::redirectOnce(xcb_window_t window)
{
    {
        std::lock_guard lock(m_lock);
        if (!m_redirected.insert(window).second)
            return true;
    }
    X11Connection& c = m_clients->connection();
    const bool redirected =
        c.check(xcb_composite_redirect_window_checked(c.xcb(), window, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
    if (redirected)
        xcb_clear_area(c.xcb(), 1, window, 0, 0, 0, 0);
    c.flush();
    return redirected;
}

ImageHandle X11WindowServer::captureDrawable(xcb_drawable_t drawable, const Geometry& geometry) const
{
    X11Connection& c = m_clients->connection();
    const std::optional<xcb_format_t> format = pixmapFormat(c.xcb(), geometry.depth);
    const bool nativeOrder = xcb_get_setup(c.xcb())->image_byte_order
        == (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST);
    if ((geometry.depth != rgbDepth && geometry.depth != argbDepth) || !format || format->bits_per_pixel != pixelBits
        || !nativeOrder)
        return nullptr;
    auto r = c.reply(xcb_get_image_reply, xcb_get_image(c.xcb(), XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, 0, 0,
                                                        geometry.width, geometry.height, ~0u));
    const int pad = format->scanline_pad;
    const qsizetype stride = qsizetype((geometry.width * pixelBits + pad - 1) / pad) * pad / 8;
    if (!r || xcb_get_image_data_length(r.get()) < stride * geometry.height)
        return nullptr;
    const QImage view(xcb_get_image_data(r.get()), geometry.width, geometry.height, stride,
                      geometry.depth == argbDepth ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    return thumbnail(view); // the view borrows the reply, which is freed on return
}

// ---- Pictures of windows leaving the screen

// Client windows are selected for their own structure changes (X11Clients): a map, an
// unmap, a resize or their end. New clients appear in the root's client list.
void X11WindowServer::onEvent(const xcb_generic_event_t& event)
{
    switch (event.response_type & 0x7f) {
    case XCB_MAP_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_map_notify_event_t&>(event);
        if (e.event == e.window)
            later([window = e.window](X11WindowServer& self) { self.follow(window); });
        break;
    }
    case XCB_UNMAP_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_unmap_notify_event_t&>(event);
        if (e.event == e.window)
            later([window = e.window](X11WindowServer& self) { self.leave(window); });
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        later([window = e.window](X11WindowServer& self) { self.forget(window); });
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        // A resized window has new storage: the name must follow it.
        const auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        std::lock_guard lock(m_lock);
        const auto followed = m_followed.find(e.window);
        if (followed != m_followed.end()
            && (followed->second.geometry.width != e.width || followed->second.geometry.height != e.height))
            later([window = e.window](X11WindowServer& self) { self.follow(window); });
        break;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (e.window == m_clients->connection().root() && e.atom == m_clients->connection().ewmh()._NET_CLIENT_LIST)
            later([](X11WindowServer& self) { self.followNewClients(); });
        break;
    }
    default:
        break;
    }
}

void X11WindowServer::later(std::function<void(X11WindowServer&)> task)
{
    m_queue->async([this, liveness = std::weak_ptr(m_liveness), task = std::move(task)] {
        const std::shared_ptr<Liveness> alive = liveness.lock();
        if (!alive)
            return;
        std::lock_guard lock(alive->lock);
        if (alive->alive)
            task(*this);
    });
}

// Listing the clients selects their structure changes: one mapped later is followed
// when it is mapped, one mapped already is followed here.
void X11WindowServer::followNewClients()
{
    for (const X11Client& client : m_clients->stacking()) {
        {
            std::lock_guard lock(m_lock);
            if (m_followed.contains(client.window))
                continue;
        }
        follow(client.window);
    }
}

void X11WindowServer::follow(xcb_window_t window)
{
    X11Connection& c = m_clients->connection();
    const std::optional<Geometry> size = c.hasComposite() ? geometry(window) : std::nullopt;
    if (!size || !redirectOnce(window))
        return; // not on screen (yet): its map is followed
    const xcb_pixmap_t pixmap = xcb_generate_id(c.xcb());
    if (!c.check(xcb_composite_name_window_pixmap_checked(c.xcb(), window, pixmap)))
        return;
    xcb_pixmap_t previous = XCB_NONE;
    {
        std::lock_guard lock(m_lock);
        Follow& followed = m_followed[window];
        previous = followed.pixmap;
        followed = Follow{pixmap, *size};
        m_leftPictures.erase(window); // on screen again: captured live
    }
    if (previous != XCB_NONE)
        xcb_free_pixmap(c.xcb(), previous);
    c.flush();
}

void X11WindowServer::leave(xcb_window_t window)
{
    std::optional<Follow> followed;
    {
        std::lock_guard lock(m_lock);
        if (const auto found = m_followed.find(window); found != m_followed.end()) {
            followed = found->second;
            m_followed.erase(found);
        }
    }
    if (!followed)
        return;
    X11Connection& c = m_clients->connection();
    ImageHandle picture = captureDrawable(followed->pixmap, followed->geometry);
    xcb_free_pixmap(c.xcb(), followed->pixmap);
    c.flush();
    if (!picture)
        return;
    {
        std::lock_guard lock(m_lock);
        m_leftPictures[window] = picture;
    }
    tellObservers(window, picture);
}

void X11WindowServer::forget(xcb_window_t window)
{
    std::optional<xcb_pixmap_t> pixmap;
    {
        std::lock_guard lock(m_lock);
        if (const auto found = m_followed.find(window); found != m_followed.end()) {
            pixmap = found->second.pixmap;
            m_followed.erase(found);
        }
        m_leftPictures.erase(window);
        m_redirected.erase(window); // the id may come back for another window
    }
    if (pixmap) {
        xcb_free_pixmap(m_clients->connection().xcb(), *pixmap);
        m_clients->connection().flush();
    }
    tellObservers(window, nullptr); // its picture goes with it
}

void X11WindowServer::tellObservers(xcb_window_t window, const ImageHandle& picture)
{
    std::lock_guard lock(m_observerLock);
    for (const auto& [token, observer] : m_observers)
        observer(window, picture);
}

WindowServer::Token X11WindowServer::observeLeavingPictures(PictureObserver observer)
{
    std::lock_guard lock(m_observerLock);
    m_observers.emplace(++m_lastToken, std::move(observer));
    return m_lastToken;
}

void X11WindowServer::removeObserver(Token token)
{
    std::lock_guard lock(m_observerLock);
    m_observers.erase(token);
}

bool X11WindowServer::isFollowing(xcb_window_t window) const
{
    std::lock_guard lock(m_lock);
    return m_followed.contains(window);
}

} // namespace ostrevane
