#pragma once
// The open port and its reader thread. Opening starts a new reader; closing
// stops it and waits until it can no longer read before the device is
// closed, so a new open (which may get the same descriptor number) never
// shares the device with an old reader. A close requested from inside one of
// the reader's own callbacks cannot wait for that thread: the thread is set
// aside, leaves as soon as the callback returns, and is collected later.
#include "link/reader_host.h"
#include "link/serial_port.h"
#include <memory>
#include <vector>

class TRead;

class PortLink {
  public:
    explicit PortLink(ReaderHost& host);
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // Opens the device with the mode ("19200,N,8,1") and starts a reader.
    // False when the device cannot be opened; openError() says why.
    bool open(const QString& device, const QString& mode);
    const bvlink::OpenError& openError() const { return m_openError; }
    // Stops the reader, aborts its pending read, restores the saved settings
    // and closes the device, with the link's 250 ms pauses around.
    void close();
    bool isOpen() const { return m_port != nullptr; }
    void sendByte(char byte);
    // True when the open port can run at `baud` (see SerialPort::supportsRate).
    bool supportsRate(int baud);

    TRead* ReaderThread() const { return m_reader.get(); }
    ReaderShared& shared() { return m_shared; }

  private:
    void collectRetired();

    ReaderHost& m_host;
    ReaderShared m_shared;
    std::shared_ptr<bvlink::SerialPort> m_port; // PortHandle
    bvlink::OpenError m_openError;
    std::unique_ptr<TRead> m_reader;
    std::vector<std::unique_ptr<TRead>> m_retired;
};
