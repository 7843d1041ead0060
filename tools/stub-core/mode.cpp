#include "mode.h"

#include <charconv>

namespace stubcore {
namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

template<typename T>
bool parseNumber(std::string_view text, T &out)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

} // namespace

std::optional<StubMode> parseStubMode(std::string_view text, std::string &error)
{
    StubMode mode;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = trimmed(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (item.empty())
            continue;

        const std::size_t equals = item.find('=');
        const std::string_view key = trimmed(item.substr(0, equals));
        const bool hasValue = equals != std::string_view::npos;
        const std::string_view value = hasValue ? trimmed(item.substr(equals + 1)) : std::string_view();
        auto bad = [&](const char *why) {
            error = std::string(why) + " in \"" + std::string(item) + '"';
            return std::nullopt;
        };
        auto flag = [&](bool &target) {
            target = true;
            return !hasValue;
        };

        if (key == "never-ready") {
            if (!flag(mode.neverReady))
                return bad("unexpected value");
        } else if (key == "error-lines") {
            if (!flag(mode.errorLines))
                return bad("unexpected value");
        } else if (key == "split-ready") {
            if (!flag(mode.splitReady))
                return bad("unexpected value");
        } else if (key == "exit-during-start") {
            int code = 0;
            if (!parseNumber(value, code) || code < 0 || code > 255)
                return bad("exit code 0..255 expected");
            mode.exitDuringStart = code;
        } else if (key == "check-fail") {
            mode.checkFail =
                hasValue && !value.empty() ? std::string(value) : std::string("stub check failure");
        } else if (key == "never-open-pipe") {
            if (!hasValue || value == "both") {
                mode.neverOpenPipeCheck = mode.neverOpenPipeRun = true;
            } else if (value == "check") {
                mode.neverOpenPipeCheck = true;
            } else if (value == "run") {
                mode.neverOpenPipeRun = true;
            } else {
                return bad("check, run or both expected");
            }
        } else if (key == "crash-after") {
            std::string_view seconds = value;
            mode.crashBySignal = false;
            if (const std::size_t colon = value.find(':'); colon != std::string_view::npos) {
                if (value.substr(colon + 1) != "signal")
                    return bad("only \":signal\" may follow the seconds");
                mode.crashBySignal = true;
                seconds = value.substr(0, colon);
            }
            double delay = 0;
            if (!parseNumber(seconds, delay) || !(delay >= 0 && delay <= 86400))
                return bad("seconds 0..86400 expected");
            mode.crashAfterSeconds = delay;
        } else if (key == "slow-ready") {
            int ms = 0;
            if (!parseNumber(value, ms) || ms < 0 || ms > 600000)
                return bad("milliseconds 0..600000 expected");
            mode.slowReadyMs = ms;
        } else if (key == "log-rate") {
            int rate = 0;
            if (!parseNumber(value, rate) || rate < 1 || rate > 1000000)
                return bad("lines per second 1..1000000 expected");
            mode.logRate = rate;
        } else if (key == "slow-check") {
            int ms = 0;
            if (!parseNumber(value, ms) || ms < 0 || ms > 600000)
                return bad("milliseconds 0..600000 expected");
            mode.slowCheckMs = ms;
        } else {
            return bad("unknown mode");
        }
    }
    return mode;
}

} // namespace stubcore
