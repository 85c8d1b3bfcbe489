// X client of the start-up benchmark: top-level windows get a damage record when they are
// created (before anything can be drawn into them); the first one mapped is the program's
// main window, and its first damage report is its first drawing.
#include "bench/app/x_watch.h"

#include <cstdlib>
#include <xcb/damage.h>
#include <xcb/xcb.h>

XWatch::~XWatch() {
    if (connection_ != nullptr)
        xcb_disconnect(connection_);
}

bool XWatch::Open() {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_) != 0)
        return false;
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection_, &xcb_damage_id);
    if (damage == nullptr || damage->present == 0)
        return false;
    damageEvent_ = damage->first_event;
    xcb_damage_query_version_reply_t* version = xcb_damage_query_version_reply(
        connection_, xcb_damage_query_version(connection_, 1, 1), nullptr);
    if (version == nullptr)
        return false;
    std::free(version);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
    return true;
}

int XWatch::Fd() const {
    return xcb_get_file_descriptor(connection_);
}

void XWatch::Reset() {
    mapped_ = 0;
    mappedNs_ = -1;
    drawnNs_ = -1;
}

void XWatch::Process(long long nowNs) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            if (created->parent == root_ && created->override_redirect == 0) {
                xcb_damage_create(connection_, xcb_generate_id(connection_), created->window,
                                  XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                xcb_flush(connection_);
            }
        } else if (type == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (mapped_ == 0 && map->override_redirect == 0) {
                mapped_ = map->window;
                mappedNs_ = nowNs;
            }
        } else if (type == damageEvent_ + XCB_DAMAGE_NOTIFY) {
            const auto* damage = reinterpret_cast<xcb_damage_notify_event_t*>(event);
            if (mapped_ != 0 && damage->drawable == mapped_ && drawnNs_ < 0) {
                drawnNs_ = nowNs;
            } else {
                // Not the drawing looked for: re-arm, a non-empty report comes only once.
                xcb_damage_subtract(connection_, damage->damage, XCB_NONE, XCB_NONE);
                xcb_flush(connection_);
            }
        }
        std::free(event);
    }
}
