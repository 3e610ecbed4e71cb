#ifndef TAVO_UI_QUITSIGNALS_H
#define TAVO_UI_QUITSIGNALS_H

#include <QObject>

#include <functional>
#include <thread>

// Ctrl+C in the terminal, a logout or a kill (SIGINT, SIGTERM, SIGHUP) end the client as closing
// its window does. The window hears of it on the GUI thread; when the client has not ended a
// while later (the GUI thread stuck in a library call, say libVLC's after the X server failed),
// the watch's own thread ends it. One at a time: the signals have one handler.
class TAVO_ui_quitSignals
{
public:
    struct Ending
    {
        // On the GUI thread: the window closes, which ends the client.
        std::function<void()> close;
        // On the watch's thread, when the client still runs `limitMs` after the signal.
        std::function<void()> lastResort;
        int limitMs = 8000;
    };

    explicit TAVO_ui_quitSignals(Ending ending);
    // Gives the signals their former handlers back.
    ~TAVO_ui_quitSignals();

    TAVO_ui_quitSignals(const TAVO_ui_quitSignals &) = delete;
    TAVO_ui_quitSignals &operator=(const TAVO_ui_quitSignals &) = delete;

private:
    void watch();
    // Waits for a byte of the signal handler's or the destructor's (0); false once the watch ends.
    bool nextSignal(int timeoutMs, bool *timedOut = nullptr);

    Ending ending;
    // Lives on the GUI thread; a close still queued when the watch goes is dropped with it.
    QObject guiThread;
    std::thread watcher;
};

#endif
