#include "sim_fixture.h"

ReaderFixture::ReaderFixture(const bvsim::LoggerConfig& config)
    : host{&mainThread,
           Startloadingheader,
           Headerloaded,
           Startloadingdata,
           Errorindata,
           Readyfornextblock,
           WaitingForAck,
           WaitOnFastAck,
           FastBaud,
           InitAutoload,
           RHBV,
           Memo2,
           Memo5,
           Memo3,
           Edit1,
           Watchdog,
           HeaderFormat,
           AutoOffChecked,
           NextAutoTime,
           [this] { return uploadEnabled; },
           [this] { uploadEnabled = true; },
           [this] { uploadEnabled = false; },
           [this] {
               ++blockRequests;
               if (onBlockRequest)
                   onBlockRequest();
           },
           [this] { ++scheduleCalls; },
           [this](const QString& error) { callbackErrors << error; }},
      logger(std::make_unique<bvsim::PtyLogger>(config)) {
    platform::setClock(&clock);
    Watchdog.setValue(clock.now());
    logger->start();
}

ReaderFixture::~ReaderFixture() {
    link.close();
    platform::setClock(nullptr);
}

bool ReaderFixture::open() {
    return link.open(logger->devicePath(), "19200,N,8,1");
}

void ReaderFixture::send(const QByteArray& bytes) {
    for (const char b : bytes)
        link.sendByte(b);
}
