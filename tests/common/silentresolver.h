// A DNS server that never answers, as the only resolver of this process: inside a mount namespace of
// the run's own, /etc/resolv.conf names 127.0.0.153, where a socket takes the queries and answers none
// (the system's resolver then gives up on a name after 10 s). Nothing leaves the machine.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

// Call in main after entering a private network namespace and before any thread exists (a mount
// namespace cannot be entered by one thread of several). True when names now go to the silent server.
inline bool useSilentResolver()
{
    if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    char path[] = "/tmp/nimbra-resolv-XXXXXX";
    const int file = mkstemp(path);
    if (file < 0)
        return false;
    static const char kConf[] = "nameserver 127.0.0.153\n";
    const bool written = write(file, kConf, sizeof kConf - 1) == static_cast<ssize_t>(sizeof kConf - 1);
    close(file);
    const bool mounted = written && mount(path, "/etc/resolv.conf", nullptr, MS_BIND, nullptr) == 0;
    unlink(path);
    if (!mounted)
        return false;
    // Kept open for the life of the process: the queries wait in its buffer, unanswered.
    const int server = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = inet_addr("127.0.0.153");
    return server >= 0 && bind(server, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}
