#include "model/controls.h"

StateControl::StateControl(const QString& name, QObject* parent) : QObject(parent) {
    setObjectName(name);
}

void StateControl::setVisible(bool visible) {
    if (visible == m_visible)
        return;
    m_visible = visible;
    emit visibilityChanged(visible);
}

void StateControl::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    emit enabledChanged(enabled);
}

void StateControl::changed() {
    emit valueChanged();
    if (m_handler)
        m_handler();
}

FlagControl::FlagControl(const QString& name, bool initial, QObject* parent)
    : StateControl(name, parent), m_checked(initial), m_mirror(initial) {}

void FlagControl::setChecked(bool checked) {
    if (checked == m_checked)
        return;
    m_checked = checked;
    m_mirror.store(checked);
    changed();
}

TextControl::TextControl(const QString& name, const QString& initial, QObject* parent)
    : StateControl(name, parent), m_text(initial), m_mirror(initial),
      m_emptyMirror(initial.isEmpty()) {}

void TextControl::setText(const QString& text) {
    store(text, -1);
}

void TextControl::store(const QString& text, qsizetype appendedFrom) {
    if (text == m_text)
        return;
    m_text = text;
    m_appendedFrom = appendedFrom;
    {
        QMutexLocker lock(&m_mirrorLock);
        m_mirror = m_text;
    }
    m_emptyMirror.store(m_text.isEmpty());
    changed();
}

void TextControl::append(const QString& tail) {
    if (!tail.isEmpty())
        store(m_text + tail, m_text.size());
}

QString TextControl::textAnyThread() const {
    QMutexLocker lock(&m_mirrorLock);
    return m_mirror;
}

TimeControl::TimeControl(const QString& name, platform::DateTime initial, QObject* parent)
    : StateControl(name, parent), m_value(initial), m_mirror(initial) {}

void TimeControl::setValue(platform::DateTime value) {
    if (value == m_value)
        return;
    m_value = value;
    m_mirror.store(value);
    changed();
}
