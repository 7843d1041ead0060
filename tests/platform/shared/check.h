#pragma once

#include <cstdio>
#include <string>
#include <type_traits>

// A minimal assertion helper for the tests that build without Qt (the Windows build has no Qt Test):
// one line per check and a closing "N passed, N failed" line that CI reads.
namespace nimbra::testing {

class Checks
{
public:
    // Starts a group of related checks; its name prefixes their lines.
    void group(const std::string &name) { m_group = name; }

    bool check(bool passed, const std::string &what, const std::string &detail = {})
    {
        ++(passed ? m_passed : m_failed);
        std::printf("%s %s: %s%s%s\n", passed ? "PASS" : "FAIL", m_group.c_str(), what.c_str(),
                    passed || detail.empty() ? "" : " -- ", passed ? "" : detail.c_str());
        std::fflush(stdout);
        return passed;
    }

    // Equality with both values shown on failure.
    template<typename T, typename U>
    bool equal(const T &actual, const U &expected, const std::string &what)
    {
        return check(actual == expected, what, "got " + show(actual) + ", expected " + show(expected));
    }

    // For checks that cannot run here; counted neither way.
    void skip(const std::string &what, const std::string &reason)
    {
        std::printf("SKIP %s: %s -- %s\n", m_group.c_str(), what.c_str(), reason.c_str());
        std::fflush(stdout);
    }

    // Prints the closing line; the process exit code.
    int finish() const
    {
        std::printf("%d passed, %d failed\n", m_passed, m_failed);
        std::fflush(stdout);
        return m_failed == 0 && m_passed > 0 ? 0 : 1;
    }

private:
    static std::string show(const std::string &value) { return "\"" + value + "\""; }
    static std::string show(const char *value) { return show(std::string(value)); }
    static std::string show(bool value) { return value ? "true" : "false"; }
    template<typename T>
    static std::string show(const T &value)
    {
        if constexpr (std::is_convertible_v<const T &, std::string>)
            return show(std::string(value));
        else if constexpr (requires { std::to_string(value); })
            return std::to_string(value);
        else if constexpr (requires { static_cast<long long>(value); })
            return std::to_string(static_cast<long long>(value));
        else
            return "(value)";
    }

    std::string m_group;
    int m_passed = 0;
    int m_failed = 0;
};

} // namespace nimbra::testing
