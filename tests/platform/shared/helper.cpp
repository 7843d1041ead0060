// The other side for the shared platform tests, started as a separate program:
//   read PIPE OUTPUT             reads PIPE to its end and writes what came to OUTPUT
//   exit CODE                    ends at once with CODE, never opening anything
//   sleep MS                     sleeps MS, then ends with 0
//   client IDS_FILE              starts "sleep" the way the client starts its core (kill-on-close set up),
//                                writes "<own id> <sleeper id>" to IDS_FILE and waits to be killed
#include "process.h"

#include "platform/killonclose.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace nimbra;

namespace {

int readPipe(const std::string &pipe, const std::string &output)
{
    std::string data;
    if (!testing::readWhole(pipe, data))
        return 2;
    std::ofstream file(output, std::ios::binary);
    file.write(data.data(), static_cast<std::streamsize>(data.size()));
    return file.good() ? 0 : 3;
}

int client(const std::string &idsFile)
{
    platform::KillOnCloseJob job;
    testing::ChildProcess sleeper;
    if (!sleeper.start(testing::helperProgram(), {"sleep", "60000"}, platform::childSetupForKillOnClose))
        return 4;
    std::string warning;
    if (!job.assign(sleeper.id(), warning)) {
        std::fprintf(stderr, "%s\n", warning.c_str());
        return 5;
    }
    // Written under another name first, so that the test never reads half a line.
    const std::string partial = idsFile + ".partial";
    {
        std::ofstream file(partial);
        file << platform::currentProcessId() << ' ' << sleeper.id() << '\n';
        if (!file.good())
            return 6;
    }
    std::error_code error;
    std::filesystem::rename(partial, idsFile, error);
    if (error)
        return 6;
    for (;;)
        testing::sleepMs(1000);
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "read" && argc == 4)
        return readPipe(argv[2], argv[3]);
    if (mode == "exit" && argc == 3)
        return std::atoi(argv[2]);
    if (mode == "sleep" && argc == 3) {
        testing::sleepMs(std::atoi(argv[2]));
        return 0;
    }
    if (mode == "client" && argc == 3)
        return client(argv[2]);
    std::fprintf(stderr, "usage: %s read PIPE OUTPUT | exit CODE | sleep MS | client IDS_FILE\n", argv[0]);
    return 64;
}
