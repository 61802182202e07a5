// The main window's serial port handlers.
#include "app/settings_files.h"
#include "app/tform1.h"
#include "link/link_state.h"
#include "link/port_dialog.h"
#include "link/port_names.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/formatting.h"
#include <QAction>
#include <QPushButton>
#include <QRadioButton>

namespace {

void parseAutoClock(const TForm1& form, std::atomic<platform::DateTime>& into) {
    // The formatting settings are the main thread's; the reader only reads the result.
    try {
        into = platform::strToDateTime(form.AutoClock.text());
    } catch (const platform::ConversionError&) {
        into = std::numeric_limits<double>::infinity();
    }
}

} // namespace

LinkState::LinkState() = default;
LinkState::~LinkState() = default;

PortLink& LinkState::port(TForm1& form) {
    if (!m_port) {
        m_host.reset(new ReaderHost{
            &form,
            form.Startloadingheader,
            form.Headerloaded,
            form.Startloadingdata,
            form.Errorindata,
            form.Readyfornextblock,
            form.WaitingForAck,
            form.WaitOnFastAck,
            form.FastBaud,
            form.InitAutoload,
            form.RHBV,
            form.Memo2,
            form.Memo5,
            form.Memo3,
            form.Edit1,
            form.Watchdog,
            form.store.HeaderFormat,
            form.AutoOffCheckedMirror,
            NextAutoTime,
            [&form] { return form.UploadData && form.UploadData->isEnabled(); },
            [&form] { form.setUploadButtonsIdle(); },
            [&form] { form.setUploadButtonsBusy(); },
            [&form] { form.SendBlockRequest(); },
            [&form] { form.ScheduleNextAuto(); },
            [&form](const QString& error) {
                if (form.uploadRunning())
                    form.EndUpload("UPLOAD CANCELLED DUE TO AN ERROR: " + error, true);
            },
        });
        m_port = std::make_unique<PortLink>(*m_host);
        parseAutoClock(form, NextAutoTime);
        QObject::connect(&form.AutoClock, &StateControl::valueChanged, &form,
                         [this, &form] { parseAutoClock(form, NextAutoTime); });
    }
    return *m_port;
}

QString TForm1::PortName() const {
    return bvlink::portNameOf(COMPORT.text());
}

QString TForm1::FastBaudRate() const {
    return bvlink::fastBaudRateOf(COMPORT.text());
}

void TForm1::OpenPort() {
    QString baud = "19200";
    if (store.HeaderFormat == 2 && Headerloaded.checked() && FastBaud.checked() &&
        !Startloadingheader.checked() && !Startloadingdata.checked() && !WaitOnFastAck.checked()) {
        // The logger has accepted the fast rate.
        baud = FastBaudRate().isEmpty() ? "57600" : FastBaudRate();
    }
    const QString name = PortName();
    const QString device = bvlink::resolveDevice(name, ThisAppDir.text());
    PortLink& port = link->port(*this);
    if (port.open(device, baud + ",N,8,1")) {
        if (UploadData)
            UploadData->setEnabled(true);
        return;
    }
    platform::dialogs().messageBox(bvlink::cannotOpenText(name, device, port.openError()),
                                   "Problem");
    if (UploadData)
        UploadData->setEnabled(false);
}

void TForm1::ClosePort() {
    // Also when the setting has become "NA": a port left open would keep its
    // reader running with nothing to stop it.
    if (link->bound())
        link->port(*this).close();
}

void TForm1::COMPORTChange() {
    ClosePort();
    if (COMPORT.text() != "NA")
        OpenPort();
    if (COMM)
        COMM->setText("Serial Port (" + PortName() + ")");
}

void TForm1::SetPort(const QString& name) {
    if (COMPORT.text() != "NA") {
        const QString old = COMPORT.text();
        COMPORT.setText(name);
        // A fast-rate suffix survives a change of port.
        if (const int colon = old.indexOf(':'); colon >= 0)
            COMPORT.append(old.mid(colon));
    } else {
        COMPORT.setText(name);
    }
    settings::writeText(settingsPath("COMPORT.DAT"), COMPORT.text());
}

bool TForm1::portOpen() const {
    return link->portOpen();
}

void TForm1::SendByte(char byte) {
    if (portOpen()) {
        link->port(*this).sendByte(byte);
        return;
    }
    // Every upload passes here before the logger can answer. Without an open
    // port nothing will, and no reader runs the watchdog: end it now.
    if (uploadRunning())
        EndUpload(COMPORT.text() == "NA" ? "UPLOAD CANCELLED. No serial port selected."
                                         : "UPLOAD CANCELLED. Cannot open serial port.",
                  true);
}

void TForm1::COMMClick() {
    if (m_port) {
        m_port->show();
        m_port->raise();
    }
}

void TForm1::ScheduleNextAuto() {
    // The interval items of Setup > Auto Download, with what each adds to now.
    const std::pair<QAction*, platform::DateTime> intervals[] = {
        {Auto1hour, platform::encodeTime(1, 0, 0)},
        {Auto4hours, platform::encodeTime(4, 0, 0)},
        {Auto8hrs, platform::encodeTime(8, 0, 0)},
        {Auto24hrs, 1.0},
        {Auto7day, 7.0},
        {Auto30day, 30.0},
    };
    for (const auto& [item, step] : intervals)
        if (item && item->isChecked())
            AutoClock.setText(platform::dateTimeToStr(platform::now() + step));
    if (!Edit2.text().isEmpty() && Edit2.text() != "0")
        InitAutoload.setChecked(true);
    const bool channel1 = C1 && C1->isChecked();
    RadioButton1->setChecked(channel1);
    RadioButton2->setChecked(!channel1);
}
