#pragma once
// Named state controls of the main window. Parts of the program signal one
// another by changing them: a real change stores the value, updates the
// thread-safe mirror that the reader thread reads, and runs the control's
// handler synchronously inside the setter. Setting the value a control
// already holds runs nothing. Hidden controls are plain objects; the
// diagnostics view and the status line show them live through valueChanged.
#include "platform/clock.h"
#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

class StateControl : public QObject {
    Q_OBJECT
  public:
    explicit StateControl(const QString& name, QObject* parent = nullptr);
    QString name() const { return objectName(); }

    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // The handler run by a real change of the value.
    void setHandler(std::function<void()> handler) { m_handler = std::move(handler); }

  signals:
    void valueChanged();
    void visibilityChanged(bool visible);
    void enabledChanged(bool enabled);

  protected:
    void changed(); // after the value and its mirror have been stored

  private:
    std::function<void()> m_handler;
    bool m_visible = false;
    bool m_enabled = true;
};

// A hidden check box.
class FlagControl : public StateControl {
    Q_OBJECT
  public:
    FlagControl(const QString& name, bool initial, QObject* parent = nullptr);
    bool checked() const { return m_checked; }
    bool checkedAnyThread() const { return m_mirror.load(); }
    void setChecked(bool checked);

  private:
    bool m_checked;
    std::atomic<bool> m_mirror;
};

// A hidden memo or edit used as a text register.
class TextControl : public StateControl {
    Q_OBJECT
  public:
    TextControl(const QString& name, const QString& initial, QObject* parent = nullptr);
    const QString& text() const { return m_text; }
    void setText(const QString& text);
    void append(const QString& tail);
    void clear() { setText(QString()); }
    // The length before the last change when that change was an append, so
    // that a view can add the tail instead of showing the whole text again;
    // -1 after any other change.
    qsizetype appendedFrom() const { return m_appendedFrom; }
    QString textAnyThread() const;
    bool isEmptyAnyThread() const { return m_emptyMirror.load(); }

  private:
    void store(const QString& text, qsizetype appendedFrom);

    QString m_text;
    qsizetype m_appendedFrom = -1;
    mutable QMutex m_mirrorLock;
    QString m_mirror;
    std::atomic<bool> m_emptyMirror;
};

// A hidden date-time picker.
class TimeControl : public StateControl {
    Q_OBJECT
  public:
    TimeControl(const QString& name, platform::DateTime initial, QObject* parent = nullptr);
    platform::DateTime value() const { return m_value; }
    platform::DateTime valueAnyThread() const { return m_mirror.load(); }
    void setValue(platform::DateTime value);

  private:
    platform::DateTime m_value;
    std::atomic<platform::DateTime> m_mirror;
};
