#include "logline.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace stubcore {

Logger::Logger()
    : m_start(std::chrono::steady_clock::now())
{}

double Logger::elapsedSeconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

std::string Logger::format(Level level, std::string_view message) const
{
    const char *name = "INFO";
    const char *color = "36"; // cyan
    switch (level) {
    case Level::Info:
        break;
    case Level::Warn:
        name = "WARN";
        color = "33";
        break;
    case Level::Error:
        name = "ERROR";
        color = "31";
        break;
    case Level::Fatal:
        name = "FATAL";
        color = "31";
        break;
    }
    std::string levelText =
        m_color ? std::string("\x1b[") + color + 'm' + name + "\x1b[0m" : std::string(name);

    char prefix[64];
    if (m_fullTimestamp) {
        const std::time_t now = std::time(nullptr);
        std::strftime(prefix, sizeof prefix, "%z %Y-%m-%d %H:%M:%S ", std::localtime(&now));
        return prefix + levelText + ' ' + std::string(message);
    }
    std::snprintf(prefix, sizeof prefix, "[%04ld] ", static_cast<long>(elapsedSeconds()));
    return levelText + prefix + std::string(message);
}

void Logger::log(Level level, std::string_view message) const
{
    write(format(level, message) + '\n');
}

void Logger::write(std::string_view text)
{
    // sing-box logs to standard error.
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

std::string systemErrorText(std::string_view operation, int error)
{
    std::string text = std::strerror(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = char(text[0] - 'A' + 'a');
    return std::string(operation) + ": " + text;
}

} // namespace stubcore
