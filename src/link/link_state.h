#pragma once
// State of the serial link owned by the main window: the port, its saved
// settings and the reader thread (PortLink), and what the reader reads of the
// window (ReaderHost). Bound to the window at the first open.
#include "link/port_link.h"
#include "link/reader_host.h"
#include <atomic>
#include <limits>
#include <memory>

class TForm1;

struct LinkState {
    LinkState();
    ~LinkState();
    // The port of `form`, bound on first use.
    PortLink& port(TForm1& form);
    bool bound() const { return m_port != nullptr; }
    bool portOpen() const { return m_port && m_port->isOpen(); }

    // AutoClock as a date-time, kept by the main thread for the reader.
    std::atomic<platform::DateTime> NextAutoTime{std::numeric_limits<double>::infinity()};

  private:
    std::unique_ptr<ReaderHost> m_host;
    std::unique_ptr<PortLink> m_port;
};
