// The main window's serial port handlers, and the diagnostics mode that shows
// the exchange.
#include "app/settings_files.h"
#include "app/tform1.h"
#include "chart/chart.h"
#include "link/diagnostics_view.h"
#include "link/link_state.h"
#include "link/port_dialog.h"
#include "link/port_names.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/formatting.h"
#include <QAction>
#include <QPushButton>

LinkState::LinkState() = default;
LinkState::~LinkState() = default;

PortLink& LinkState::port(TForm1& form) {
    if (!m_port) {
        m_host.reset(new ReaderHost{
            .mainThread = form,
            .Startloadingheader = form.Startloadingheader,
            .Headerloaded = form.Headerloaded,
            .Startloadingdata = form.Startloadingdata,
            .Errorindata = form.Errorindata,
            .Readyfornextblock = form.Readyfornextblock,
            .WaitingForAck = form.WaitingForAck,
            .WaitOnFastAck = form.WaitOnFastAck,
            .FastBaud = form.FastBaud,
            .InitAutoload = form.InitAutoload,
            .RHBV = form.RHBV,
            .Memo2 = form.Memo2,
            .Memo5 = form.Memo5,
            .Memo3 = form.Memo3,
            .Edit1 = form.Edit1,
            .Watchdog = form.Watchdog,
            .HeaderFormat = form.store.HeaderFormat,
            .AutoOffChecked = form.AutoOffCheckedMirror,
            .NextAutoTime = NextAutoTime,
            .uploadEnabled = [&form] { return form.UploadData && form.UploadData->isEnabled(); },
            .setUploadButtonsIdle = [&form] { form.setUploadButtonsIdle(); },
            .setUploadButtonsBusy = [&form] { form.setUploadButtonsBusy(); },
            .SendBlockRequest = [&form] { form.SendBlockRequest(); },
            .ScheduleNextAuto = [&form] { form.ScheduleNextAuto(); },
            .callbackFailed =
                [&form](const QString& error) {
                    if (form.uploadRunning())
                        form.EndUpload("UPLOAD CANCELLED DUE TO AN ERROR: " + error, true);
                },
        });
        m_port = std::make_unique<PortLink>(*m_host);
    }
    return *m_port;
}

void TForm1::SetAutoClock(platform::DateTime due) {
    NextAutoDownload = due;
    link->NextAutoTime = due;
    AutoClock.setText(platform::dateTimeToStr(due));
}

QString TForm1::PortName() const {
    return bvlink::portNameOf(COMPORT.text());
}

QString TForm1::FastBaudRate() const {
    return bvlink::fastBaudRateOf(COMPORT.text());
}

PortOpening TForm1::OpenPort() {
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
        return LastPortOpening = {.opened = true, .failure = {}};
    }
    LastPortOpening = {.opened = false,
                       .failure = bvlink::cannotOpenText(name, device, port.openError())};
    platform::dialogs().messageBox(LastPortOpening.failure, "Problem");
    if (UploadData)
        UploadData->setEnabled(false);
    return LastPortOpening;
}

void TForm1::ClosePort() {
    // Also when the setting has become "NA": a port left open would keep its
    // reader running with nothing to stop it.
    if (link->bound())
        link->port(*this).close();
}

PortOpening TForm1::COMPORTChange() {
    ClosePort();
    LastPortOpening = {};
    if (COMPORT.text() != "NA")
        OpenPort();
    if (COMM)
        COMM->setText("Serial Port (" + PortName() + ")");
    return LastPortOpening;
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
    app::writeText(settingsPath("COMPORT.DAT"), COMPORT.text());
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

void TForm1::DiagnosticsMode1Click() {
    // The menu has already moved the check mark: it now says which mode to show.
    const bool on = DiagnosticsMode1->isChecked();
    Chart1->setVisible(!on);
    m_diagnostics->setVisible(on);
    if (!on)
        Memo1.setVisible(false);
    std::vector<StateControl*> controls{&Memo2,        &Memo3,
                                        &Memo5,        &Startloadingdata,
                                        &Errorindata,  &Startloadingheader,
                                        &Headerloaded, &Readyfornextblock,
                                        &WaitingForAck};
    for (const auto& label : StaticText)
        controls.push_back(label.get());
    const std::vector<StateControl*> rest{&Firstdate,      &Firsttime,    &Lastdate,   &Lasttime,
                                          &Samplesperhour, &Datastored,   &COMPORT,    &Watchdog,
                                          &Edit2,          &InitAutoload, &DataLoaded, &RHBV,
                                          &WaitOnFastAck,  &FastBaud};
    controls.insert(controls.end(), rest.begin(), rest.end());
    for (StateControl* control : controls)
        control->setVisible(on);
}
