// A stand-in for the system's route.exe, which wine lacks, so that the route commands run end to end
// under wine. It keeps a routing table of its own in a file and answers as route.exe does:
//   route.exe add DEST mask MASK GATEWAY [-p anywhere before DEST]
//   route.exe delete DEST [mask MASK [GATEWAY]]
// " OK!" and exit code 0 on success; route.exe's failure lines and exit code 1 otherwise.
// NIMBRA_ROUTE_TABLE names the table file; each command line is also appended to NIMBRA_ROUTE_LOG,
// one line per run, arguments separated by single spaces, so that a test can see what it was given.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string environment(const char *name)
{
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

struct Route
{
    std::string destination;
    std::string mask;
    std::string gateway;
};

std::vector<Route> readTable(const std::string &path)
{
    std::vector<Route> routes;
    std::ifstream in(path);
    Route route;
    while (in >> route.destination >> route.mask >> route.gateway)
        routes.push_back(route);
    return routes;
}

void writeTable(const std::string &path, const std::vector<Route> &routes)
{
    std::ofstream out(path, std::ios::trunc | std::ios::binary);
    for (const Route &route : routes)
        out << route.destination << ' ' << route.mask << ' ' << route.gateway << '\n';
}

int usage()
{
    std::printf("Manipulates network routing tables.\n\nROUTE [-f] [-p] [-4|-6] command [destination]\n");
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (const std::string log = environment("NIMBRA_ROUTE_LOG"); !log.empty()) {
        std::ofstream out(log, std::ios::app | std::ios::binary);
        for (std::size_t i = 0; i < arguments.size(); ++i)
            out << (i ? " " : "") << arguments[i];
        out << '\n';
    }
    std::vector<std::string> words;
    for (const std::string &argument : arguments) {
        if (argument != "-p" && argument != "-4")
            words.push_back(argument);
    }
    if (words.empty())
        return usage();
    const std::string table = environment("NIMBRA_ROUTE_TABLE");
    std::vector<Route> routes = readTable(table);

    if (words[0] == "add") {
        if (words.size() != 5 || words[2] != "mask")
            return usage();
        const Route route{words[1], words[3], words[4]};
        for (const Route &existing : routes) {
            if (existing.destination == route.destination && existing.mask == route.mask &&
                existing.gateway == route.gateway) {
                std::printf("The route addition failed: The object already exists.\n\n");
                return 1;
            }
        }
        routes.push_back(route);
        writeTable(table, routes);
        std::printf(" OK!\n");
        return 0;
    }
    if (words[0] == "delete") {
        if (words.size() != 2 && words.size() != 4 && words.size() != 5)
            return usage();
        // Without a gateway every route to the destination goes, whoever added it.
        std::vector<Route> kept;
        for (const Route &route : routes) {
            const bool matches = route.destination == words[1] &&
                                 (words.size() < 4 || route.mask == words[3]) &&
                                 (words.size() < 5 || route.gateway == words[4]);
            if (!matches)
                kept.push_back(route);
        }
        if (kept.size() == routes.size()) {
            std::printf("The route deletion failed: Element not found.\n\n");
            return 1;
        }
        writeTable(table, kept);
        std::printf(" OK!\n");
        return 0;
    }
    return usage();
}
