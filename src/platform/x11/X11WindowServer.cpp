#include "platform/x11/X11WindowServer.h"

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

struct X11WindowServer::Geometry {
    quint16 width = 0;
    quint16 height = 0;
    quint8 depth = 0;
};

X11WindowServer::X11WindowServer(std::shared_ptr<X11Clients> clients)
    : m_clients(std::move(clients))
{
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
    const std::optional<Geometry> size = geometry(window);
    if (!size)
        return nullptr;
    if (m_clients->connection().hasComposite())
        if (ImageHandle image = captureComposited(window, *size))
            return image;
    return captureDrawable(window, *size);
}

// Size and depth of a window that is on screen; nothing for iconified (unmapped) or
// vanished windows, which cannot be read.
std::optional<X11WindowServer::Geometry> X11WindowServer::geometry(xcb_window_t window) const
{
    X11Connection& c = m_clients->connection();
    const auto geometryCookie = xcb_get_geometry(c.xcb(), window);
    const auto attributesCookie = xcb_get_window_attributes(c.xcb(), window);
    auto g = c.reply(xcb_get_geometry_reply, geometryCookie);
    auto a = c.reply(xcb_get_window_attributes_reply, attributesCookie);
    if (!g || !a || a->map_state != XCB_MAP_STATE_VIEWABLE || g->width == 0 || g->height == 0)
        return std::nullopt;
    return Geometry{g->width, g->height, g->depth};
}

// The window's own off-screen copy: what is under other windows is there too.
ImageHandle X11WindowServer::captureComposited(xcb_window_t window, const Geometry& geometry)
{
    X11Connection& c = m_clients->connection();
    redirectOnce(window);
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
void X11WindowServer::redirectOnce(xcb_window_t window)
{
    {
        std::lock_guard lock(m_lock);
        if (!m_redirected.insert(window).second)
            return;
    }
    X11Connection& c = m_clients->connection();
    if (c.check(xcb_composite_redirect_window_checked(c.xcb(), window, XCB_COMPOSITE_REDIRECT_AUTOMATIC)))
        xcb_clear_area(c.xcb(), 1, window, 0, 0, 0, 0);
    c.flush();
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

} // namespace ostrevane
