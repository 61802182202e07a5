#include "link/port_link.h"
#include "link/serial_port.h"
#include "link/tread.h"
#include <algorithm>

PortLink::PortLink(ReaderHost& host) : m_host(host) {}

PortLink::~PortLink() {
    if (m_reader)
        m_reader->Terminate();
    m_reader.reset();
    m_retired.clear();
}

bool PortLink::open(const QString& device, const QString& mode) {
    collectRetired();
    std::shared_ptr<bvlink::SerialPort> port = bvlink::SerialPort::open(device, mode, &m_openError);
    if (!port)
        return false;
    m_port = std::move(port);
    m_reader = std::make_unique<TRead>(m_host, m_shared, m_port);
    return true;
}

void PortLink::close() {
    if (!m_port)
        return;
    if (m_reader)
        m_reader->Terminate();
    platform::pause(250);
    m_port->abortPendingRead();
    if (m_reader) {
        if (m_reader->inCallback())
            m_retired.push_back(std::move(m_reader));
        else
            m_reader->WaitFor();
        m_reader.reset();
    }
    m_port->close();
    m_port.reset();
    platform::pause(250);
    collectRetired();
}

void PortLink::sendByte(char byte) {
    if (m_port)
        m_port->writeByte(byte);
}

bool PortLink::supportsRate(int baud) {
    return m_port && m_port->supportsRate(baud);
}

void PortLink::collectRetired() {
    // A retired thread whose callback has returned leaves without reading; joining it is quick.
    std::erase_if(m_retired, [](const std::unique_ptr<TRead>& t) { return !t->inCallback(); });
}
