#include "sim_fixture.h"

ReaderFixture::ReaderFixture(const bvsim::LoggerConfig& config)
    : host{.mainThread = mainThread,
           .Startloadingheader = Startloadingheader,
           .Headerloaded = Headerloaded,
           .Startloadingdata = Startloadingdata,
           .Errorindata = Errorindata,
           .Readyfornextblock = Readyfornextblock,
           .WaitingForAck = WaitingForAck,
           .WaitOnFastAck = WaitOnFastAck,
           .FastBaud = FastBaud,
           .InitAutoload = InitAutoload,
           .RHBV = RHBV,
           .Memo2 = Memo2,
           .Memo5 = Memo5,
           .Memo3 = Memo3,
           .Edit1 = Edit1,
           .Watchdog = Watchdog,
           .HeaderFormat = HeaderFormat,
           .AutoOffChecked = AutoOffChecked,
           .NextAutoTime = NextAutoTime,
           .uploadEnabled = [this] { return uploadEnabled; },
           .setUploadButtonsIdle = [this] { uploadEnabled = true; },
           .setUploadButtonsBusy = [this] { uploadEnabled = false; },
           .SendBlockRequest =
               [this] {
                   ++blockRequests;
                   if (onBlockRequest)
                       onBlockRequest();
               },
           .ScheduleNextAuto = [this] { ++scheduleCalls; },
           .callbackFailed = [this](const QString& error) { callbackErrors << error; }},
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
