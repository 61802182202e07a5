#pragma once
// What the reader thread sees of the program: the main window's state
// controls (read through their thread-safe mirrors from the reader, changed
// only in callbacks on the main thread) and the operations its callbacks run.
// The main window provides one; tests build one from free-standing controls.
// Filled by name (designated initialisers), so a swapped or missing member does not compile.
#include "link/reader_framing.h"
#include "model/controls.h"
#include <QByteArray>
#include <QString>
#include <atomic>
#include <concepts>
#include <functional>
#include <type_traits>

class QObject;

// A callback the host must give. A member left out of a designated
// initialiser is initialised from {}, which this refuses at compile time;
// a plain std::function would be empty and fail only when the reader calls it.
template <typename Signature> struct HostCallback : std::function<Signature> {
    HostCallback() = delete;
    template <std::convertible_to<std::function<Signature>> F>
    HostCallback(F f) : std::function<Signature>(std::move(f)) {}
};
static_assert(!std::is_default_constructible_v<HostCallback<void()>>,
              "a ReaderHost without one of its callbacks must not compile");

struct ReaderHost {
    QObject& mainThread; // the callbacks run on this object's thread

    FlagControl& Startloadingheader;
    FlagControl& Headerloaded;
    FlagControl& Startloadingdata;
    FlagControl& Errorindata;
    FlagControl& Readyfornextblock;
    FlagControl& WaitingForAck;
    FlagControl& WaitOnFastAck;
    FlagControl& FastBaud;
    FlagControl& InitAutoload;
    FlagControl& RHBV;
    TextControl& Memo2;
    TextControl& Memo5;
    TextControl& Memo3;
    TextControl& Edit1;
    TimeControl& Watchdog;
    std::atomic<int>& HeaderFormat;
    const std::atomic<bool>& AutoOffChecked;
    // When the next automatic download is due, set by the main thread.
    const std::atomic<platform::DateTime>& NextAutoTime;

    HostCallback<bool()> uploadEnabled;        // the "Upload Data" button
    HostCallback<void()> setUploadButtonsIdle; // Upload on, Abort off, channels on
    HostCallback<void()> setUploadButtonsBusy; // the reverse
    HostCallback<void()> SendBlockRequest;
    HostCallback<void()> ScheduleNextAuto;
    // A callback ended by a platform error (already shown): ends the upload
    // that the broken chain left waiting, with the error's text.
    HostCallback<void(const QString&)> callbackFailed;
};

// The reader's working state, one copy for all its threads: a new thread
// finds what the previous one left.
struct ReaderShared {
    QByteArray Chunk; // the processed chunk handed to a callback
    int BytesRead = 0;
    int ChunkLength = 0;
    int HeaderLineCount = 0;
    int HeaderScanCount = 0;
    bvlink::NewerHeaderScanner HeaderScanner; // of the header in Memo2
    int RetryCount = 0;
    QString HexText;
    // Data-phase reads that waited out their whole second: each is a turn of
    // the loop in which the upload did not move on.
    std::atomic<int> DataReadTimeouts{0};
};
