#include "app_fixture.h"
#include "platform/formatting.h"
#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

AppFixture::AppFixture()
    : clock(platform::encodeDateTime(2026, 12, 9, 10, 0, 0)), m_previousDir(QDir::currentPath()) {
    QDir::setCurrent(m_dir.path());
    platform::setDialogs(&dialogs);
    platform::setClock(&clock);
    platform::resetFormatSettingsFromSystem();
    m_idlePty = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_idlePty >= 0 && grantpt(m_idlePty) == 0 && unlockpt(m_idlePty) == 0)
        linkPort(1, QString::fromLocal8Bit(ptsname(m_idlePty)));
}

AppFixture::~AppFixture() {
    m_form.reset();
    platform::setDialogs(nullptr);
    platform::setClock(nullptr);
    QDir::setCurrent(m_previousDir);
    if (m_idlePty >= 0)
        ::close(m_idlePty);
}

TForm1& AppFixture::start(const QString& argument) {
    return startWatched([](TForm1&) {}, argument);
}

TForm1& AppFixture::startWatched(const std::function<void(TForm1&)>& watch,
                                 const QString& argument) {
    m_form.reset();
    m_form = std::make_unique<TForm1>();
    watch(*m_form);
    m_form->FormCreate(argument);
    return *m_form;
}

void AppFixture::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QByteArray AppFixture::readFile(const QString& name) const {
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void AppFixture::linkPort(int n, const QString& device) const {
    const QString link = path(QString("COM%1").arg(n));
    QFile::remove(link);
    QFile::link(device, link);
}
