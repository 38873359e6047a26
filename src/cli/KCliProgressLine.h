#pragma once

#include <cstdio>

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QTimer;

// The one self-updating line quorvel-cli keeps at the bottom of a terminal
// while it works: a short bar, files done of total, failures, time elapsed
// and an estimate of the time left. It is redrawn whenever a file finishes
// and once a second in between, so the clock moves during a long file.
//
// Only ever written to a terminal: a disabled line (standard error is a pipe
// or a file, TERM=dumb, --json, --quiet) writes nothing at all. Lives in the
// interface thread; owned by the reporter.
class KCliProgressLine : public QObject
{
    Q_OBJECT
public:
    KCliProgressLine(FILE *stream, bool enabled, QObject *parent = nullptr);
    ~KCliProgressLine() override;

    // Whether standard error can carry the line: a terminal that understands
    // the erase-line sequence.
    static bool standardErrorIsTerminal();

    bool isEnabled() const { return m_enabled; }

    // Starts the clock and shows 0/total.
    void start(int total);
    // A file finished (failed or not).
    void fileFinished(bool failed);
    // Takes the line off the screen before other text is written there.
    void clear();
    // Puts it back after that text.
    void redraw();
    // Leaves the last state on screen, followed by a line end, and stops the clock.
    void finish();

    // The text of the line for a terminal of the given width (never wider
    // than width - 1, so that the cursor stays on the line).
    static QString text(int done, int total, int failed, qint64 elapsedMs, int width);
    // "m:ss", or "h:mm:ss" from an hour on.
    static QString clock(qint64 ms);

private:
    int terminalWidth() const;
    void draw();

    FILE *const m_stream;
    const bool m_enabled;
    QTimer *m_tick = nullptr;
    QElapsedTimer m_clock;
    int m_total = 0;
    int m_done = 0;
    int m_failed = 0;
    bool m_shown = false;
    bool m_running = false;
};
