#pragma once

// sing-box's console log format: "INFO[0012] message" (seconds since start), or with log.timestamp
// "-0700 2006-01-02 15:04:05 INFO message"; the level is coloured unless colours are disabled.
#include <chrono>
#include <string>
#include <string_view>

namespace stubcore {

enum class Level
{
    Info,
    Warn,
    Error,
    Fatal
};

class Logger
{
public:
    Logger();

    void setColor(bool enabled) { m_color = enabled; }
    void setFullTimestamp(bool enabled) { m_fullTimestamp = enabled; }
    double elapsedSeconds() const;

    std::string format(Level level, std::string_view message) const;
    void log(Level level, std::string_view message) const;
    // Writes and flushes at once, so each call reaches the reader as its own chunk.
    static void write(std::string_view text);

private:
    std::chrono::steady_clock::time_point m_start;
    bool m_color = true;
    bool m_fullTimestamp = false;
};

// A system error as Go prints it: "open x: no such file or directory" (operation, then lower-case text).
std::string systemErrorText(std::string_view operation, int error);

} // namespace stubcore
