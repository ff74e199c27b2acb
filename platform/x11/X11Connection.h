#pragma once
// A connection to an X display (through xcb) with the root window of its screen, whose
// events a thread of its own reads.

#include <xcb/xcb.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace norvane {

class X11Connection {
public:
    using EventHandler = std::function<void(const xcb_generic_event_t&)>;

    // Connects to the display; absent, or one that cannot be reached, leaves it unconnected.
    explicit X11Connection(const std::optional<std::string>& display);
    // Ends the thread, then disconnects: the server drops the connection's grabs and
    // selections.
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    bool connected() const { return connection_ != nullptr; }
    xcb_connection_t* get() const { return connection_; }
    xcb_window_t root() const { return root_; }
    int screenNumber() const { return screenNumber_; }

    // Starts reading events on a thread of its own, which hands each one to `handle`.
    void watch(EventHandler handle);
    // Wakes the thread: the replies waited for on another thread may have left events in
    // xcb's queue.
    void nudge() const;
    // A round trip: every request sent before has been handled once it returns.
    void sync() const;
    // The atom of `name`; with `onlyIfExists`, none for a name no client ever interned
    // (so nobody can own a selection of it). None without a connection.
    xcb_atom_t atom(const std::string& name, bool onlyIfExists = false) const;
    // The window that owns the selection, none when nobody does (or `selection` is none).
    xcb_window_t selectionOwner(xcb_atom_t selection) const;

private:
    void run();

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    int screenNumber_ = 0;
    int wake_ = -1;  // an eventfd: events may wait in xcb's queue, or the thread must end
    std::atomic<bool> stopping_ = false;
    EventHandler handle_;
    std::thread thread_;
};

// The client part of the ids a connection gives its windows (its resource id base): what tells
// a window of that connection from another client's, whichever process or PID namespace the
// other runs in. None without a connection.
std::uint32_t x11ClientBase(xcb_connection_t* connection);

}  // namespace norvane
