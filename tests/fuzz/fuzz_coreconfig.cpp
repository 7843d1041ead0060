// Configurations as a user could hand the network helper, through the allow-list that writes the one
// the core gets. Besides crashes it checks that what is written passes again unchanged (so nothing in
// it is outside the list) and stays on the caller's tunnel.
#include "nethelper/coreconfig.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::string_view kName = "nb1000";
constexpr std::string_view kAddress = "172.19.15.161/30";

[[noreturn]] void fail(const char *what, const std::string &detail)
{
    std::fprintf(stderr, "fuzz_coreconfig: %s: %s\n", what, detail.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const auto written = nimbra::nethelper::writeCoreConfig(input, kName, kAddress);
    if (written.text.empty() == written.refusal.empty())
        fail("neither or both of text and refusal", written.refusal);
    if (written.text.empty())
        return 0;
    const auto again = nimbra::nethelper::writeCoreConfig(written.text, kName, kAddress);
    if (again.text != written.text)
        fail("written configuration changes when checked again", again.refusal + " | " + written.text);
    // The one tunnel, always on the name and address given.
    for (const std::string &member : {"\"interface_name\":\"" + std::string(kName) + "\"",
                                      "\"address\":[\"" + std::string(kAddress) + "\"]"}) {
        const std::size_t at = written.text.find(member);
        if (at == std::string::npos || written.text.find(member, at + 1) != std::string::npos)
            fail("tunnel", written.text);
    }
    return 0;
}
