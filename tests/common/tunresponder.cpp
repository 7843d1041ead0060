// nimbra_tunresponder: stands in for the service's nodes in tests, with a round trip and a loss the test
// sets (the kernel here has no netem). It owns a TUN device and answers TCP SYNs with SYN-ACKs after a
// set delay, dropping a set share; nothing else is answered.
//
// Usage (as root, inside a private network namespace the test made; it refuses to run where the
// namespace has any device besides loopback and tunnels, as the host's has):
//   nimbra_tunresponder --address 10.77.0.1/24 [--name DEVICE]
//                       [--node ADDRESS=DELAYms,LOSS%]... [--refuse ADDRESS]... [--silent ADDRESS]...
//   --address  the device's own address and prefix; every other address of the range is routed to it
//   --name     the device's name (default "nimbra-resp0")
//   --node     answers SYNs to ADDRESS (any port) after DELAY ms, dropping LOSS percent of them
//              (spread evenly: 30% drops exactly 3 of every 10 SYNs, so short runs hold the share)
//   --refuse   answers SYNs to ADDRESS with a reset at once (a closed port)
//   --silent   never answers ADDRESS (the default for addresses not named)
// Prints "ready" on standard output once the device is up. Reads commands on standard input while it
// runs, one per line, and ends when standard input closes:
//   ADDRESS DELAY_MS LOSS_PERCENT   e.g. "10.77.0.15 80 0": a node with a new delay and loss
//   ADDRESS refuse | ADDRESS silent
// A retransmitted SYN gets the same fate as the first one of its connection.
// glibc's interface header first: the kernel's, pulled in by the TUN header, then steps aside.
#include <net/if.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_arp.h>
#include <linux/if_tun.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <optional>
#include <queue>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

enum class Kind
{
    Silent,
    Node,
    Refuse,
};

struct Behaviour
{
    Kind kind = Kind::Silent;
    int delayMs = 0;
    double loss = 0;   // 0..1
    double credit = 0; // the drop share's running remainder
};

struct Reply
{
    Clock::time_point due;
    std::vector<std::uint8_t> packet;
    bool operator>(const Reply &other) const { return due > other.due; }
};

int fail(const std::string &message)
{
    std::fprintf(stderr, "nimbra_tunresponder: %s\n", message.c_str());
    return 1;
}

std::optional<std::uint32_t> parseAddress(const std::string &text)
{
    in_addr address = {};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1)
        return std::nullopt;
    return address.s_addr; // network order
}

// "15ms,30%" (the units optional) into a node's behaviour.
std::optional<Behaviour> parseNode(const std::string &text)
{
    Behaviour behaviour;
    behaviour.kind = Kind::Node;
    int loss = 0;
    char unit[4] = {};
    if (std::sscanf(text.c_str(), "%d%2[ms],%d", &behaviour.delayMs, unit, &loss) != 3 &&
        std::sscanf(text.c_str(), "%d,%d", &behaviour.delayMs, &loss) != 2)
        return std::nullopt;
    if (behaviour.delayMs < 0 || loss < 0 || loss > 100)
        return std::nullopt;
    behaviour.loss = loss / 100.0;
    return behaviour;
}

// A namespace a test made holds loopback and tunnels only; the host's has its Ethernet-type devices
// (and is PID 1's, where that can be read).
bool inPrivateNamespace()
{
    struct stat self = {};
    struct stat init = {};
    if (stat("/proc/self/ns/net", &self) == 0 && stat("/proc/1/ns/net", &init) == 0 &&
        self.st_ino == init.st_ino)
        return false;
    struct if_nameindex *names = if_nameindex();
    if (!names)
        return false;
    const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    bool onlyLoopbackAndTunnels = control >= 0;
    for (const struct if_nameindex *entry = names; onlyLoopbackAndTunnels && entry->if_index != 0; ++entry) {
        ifreq request = {};
        std::strncpy(request.ifr_name, entry->if_name, IFNAMSIZ - 1);
        onlyLoopbackAndTunnels =
            ioctl(control, SIOCGIFHWADDR, &request) == 0 &&
            (request.ifr_hwaddr.sa_family == ARPHRD_LOOPBACK || request.ifr_hwaddr.sa_family == ARPHRD_NONE);
    }
    if (control >= 0)
        close(control);
    if_freenameindex(names);
    return onlyLoopbackAndTunnels;
}

std::uint16_t checksum(const std::uint8_t *data, std::size_t length, std::uint32_t sum = 0)
{
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (length % 2)
        sum += static_cast<std::uint32_t>(data[length - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

void put16(std::uint8_t *at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

void put32(std::uint8_t *at, std::uint32_t value)
{
    put16(at, static_cast<std::uint16_t>(value >> 16));
    put16(at + 2, static_cast<std::uint16_t>(value));
}

std::uint16_t get16(const std::uint8_t *at)
{
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

std::uint32_t get32(const std::uint8_t *at)
{
    return static_cast<std::uint32_t>(get16(at)) << 16 | get16(at + 2);
}

// An IPv4 packet with a bare TCP header from the node (`from`, network order) back to the prober.
std::vector<std::uint8_t> tcpPacket(std::uint32_t from, std::uint32_t to, std::uint16_t fromPort,
                                    std::uint16_t toPort, std::uint32_t seq, std::uint32_t ack,
                                    std::uint8_t flags)
{
    std::vector<std::uint8_t> packet(40, 0);
    std::uint8_t *ip = packet.data();
    ip[0] = 0x45;
    put16(ip + 2, 40);
    ip[8] = 64; // TTL
    ip[9] = IPPROTO_TCP;
    std::memcpy(ip + 12, &from, 4);
    std::memcpy(ip + 16, &to, 4);
    put16(ip + 10, checksum(ip, 20));

    std::uint8_t *tcp = ip + 20;
    put16(tcp, fromPort);
    put16(tcp + 2, toPort);
    put32(tcp + 4, seq);
    put32(tcp + 8, ack);
    tcp[12] = 5 << 4;
    tcp[13] = flags;
    put16(tcp + 14, 65535);
    // The pseudo-header: both addresses, the protocol and the TCP length.
    std::uint32_t sum = 0;
    for (int i = 12; i < 20; i += 2)
        sum += get16(ip + i);
    sum += IPPROTO_TCP + 20;
    put16(tcp + 16, checksum(tcp, 20, sum));
    return packet;
}

constexpr std::uint8_t kFin = 0x01, kSyn = 0x02, kRst = 0x04, kAck = 0x10;

class Responder
{
public:
    std::map<std::uint32_t, Behaviour> behaviours;

    // Handles one packet read from the device; replies go to `replies`.
    void handle(const std::uint8_t *packet, std::size_t length,
                std::priority_queue<Reply, std::vector<Reply>, std::greater<>> &replies)
    {
        if (length < 20 || packet[0] >> 4 != 4 || packet[9] != IPPROTO_TCP)
            return;
        const std::size_t ipLength = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
        if (ipLength < 20 || length < ipLength + 20)
            return;
        const std::uint8_t *tcp = packet + ipLength;
        const std::uint8_t flags = tcp[13];
        if (!(flags & kSyn) || (flags & (kAck | kRst | kFin)))
            return;
        std::uint32_t source = 0;
        std::uint32_t destination = 0;
        std::memcpy(&source, packet + 12, 4);
        std::memcpy(&destination, packet + 16, 4);
        const auto found = behaviours.find(destination);
        if (found == behaviours.end() || found->second.kind == Kind::Silent)
            return;
        Behaviour &behaviour = found->second;
        const std::uint16_t sourcePort = get16(tcp);
        const std::uint16_t destinationPort = get16(tcp + 2);
        const std::uint32_t seq = get32(tcp + 4);
        if (behaviour.kind == Kind::Refuse) {
            replies.push({Clock::now(), tcpPacket(destination, source, destinationPort, sourcePort, 0,
                                                  seq + 1, kRst | kAck)});
            return;
        }
        if (dropped(behaviour, {source, sourcePort, seq, destination}))
            return;
        replies.push(
            {Clock::now() + std::chrono::milliseconds(behaviour.delayMs),
             tcpPacket(destination, source, destinationPort, sourcePort, m_nextSeq, seq + 1, kSyn | kAck)});
        m_nextSeq += 0x01000193;
    }

private:
    using Connection = std::tuple<std::uint32_t, std::uint16_t, std::uint32_t, std::uint32_t>;

    // The drop share spread evenly over the SYNs; a retransmission shares its first SYN's fate.
    bool dropped(Behaviour &behaviour, const Connection &connection)
    {
        if (const auto known = m_decisions.find(connection); known != m_decisions.end())
            return known->second;
        behaviour.credit += behaviour.loss;
        const bool drop = behaviour.credit >= 1 - 1e-9;
        if (drop)
            behaviour.credit -= 1;
        m_decisions.emplace(connection, drop);
        m_order.push_back(connection);
        if (m_order.size() > 4096) {
            m_decisions.erase(m_order.front());
            m_order.pop_front();
        }
        return drop;
    }

    std::map<Connection, bool> m_decisions;
    std::deque<Connection> m_order;
    std::uint32_t m_nextSeq = 0x10000000;
};

// "ADDRESS DELAY LOSS", "ADDRESS refuse" or "ADDRESS silent".
bool applyCommand(Responder &responder, const std::string &line)
{
    std::istringstream words(line);
    std::string addressText;
    std::string first;
    int loss = 0;
    if (!(words >> addressText >> first))
        return line.find_first_not_of(" \t\r") == std::string::npos;
    const std::optional<std::uint32_t> address = parseAddress(addressText);
    if (!address)
        return false;
    Behaviour behaviour;
    if (first == "refuse")
        behaviour.kind = Kind::Refuse;
    else if (first != "silent") {
        behaviour.kind = Kind::Node;
        try {
            behaviour.delayMs = std::stoi(first);
        } catch (...) {
            return false;
        }
        if (!(words >> loss) || behaviour.delayMs < 0 || loss < 0 || loss > 100)
            return false;
        behaviour.loss = loss / 100.0;
    }
    responder.behaviours[*address] = behaviour;
    return true;
}

int openDevice(const std::string &name, std::uint32_t address, int prefix, std::string &error)
{
    const int fd = open("/dev/net/tun", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = std::string("cannot open /dev/net/tun: ") + std::strerror(errno);
        return -1;
    }
    ifreq request = {};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
    if (ioctl(fd, TUNSETIFF, &request) != 0) {
        error = std::string("cannot create the TUN device: ") + std::strerror(errno);
        close(fd);
        return -1;
    }
    const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const auto setAddress = [&](unsigned long operation, std::uint32_t value) {
        ifreq change = {};
        std::strncpy(change.ifr_name, name.c_str(), IFNAMSIZ - 1);
        sockaddr_in in = {};
        in.sin_family = AF_INET;
        in.sin_addr.s_addr = value;
        std::memcpy(&change.ifr_addr, &in, sizeof in);
        return ioctl(control, operation, &change) == 0;
    };
    ifreq up = {};
    std::strncpy(up.ifr_name, name.c_str(), IFNAMSIZ - 1);
    const std::uint32_t mask = prefix == 0 ? 0 : htonl(~std::uint32_t{0} << (32 - prefix));
    const bool configured = control >= 0 && setAddress(SIOCSIFADDR, address) &&
                            setAddress(SIOCSIFNETMASK, mask) && ioctl(control, SIOCGIFFLAGS, &up) == 0 &&
                            (up.ifr_flags |= IFF_UP | IFF_RUNNING, ioctl(control, SIOCSIFFLAGS, &up) == 0);
    if (!configured)
        error = std::string("cannot configure the TUN device: ") + std::strerror(errno);
    if (control >= 0)
        close(control);
    if (!configured) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int main(int argc, char **argv)
{
    std::string name = "nimbra-resp0";
    std::optional<std::uint32_t> ownAddress;
    int prefix = 24;
    Responder responder;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return fail("missing value after " + option);
        const std::string value = argv[++i];
        if (option == "--name") {
            name = value;
        } else if (option == "--address") {
            const std::size_t slash = value.find('/');
            ownAddress = parseAddress(value.substr(0, slash));
            if (slash != std::string::npos)
                prefix = std::atoi(value.c_str() + slash + 1);
            if (!ownAddress || prefix < 1 || prefix > 30)
                return fail("bad --address " + value);
        } else if (option == "--node") {
            const std::size_t equals = value.find('=');
            const std::optional<std::uint32_t> address = parseAddress(value.substr(0, equals));
            const std::optional<Behaviour> behaviour =
                equals == std::string::npos ? std::nullopt : parseNode(value.substr(equals + 1));
            if (!address || !behaviour)
                return fail("bad --node " + value + " (expected ADDRESS=DELAYms,LOSS%)");
            responder.behaviours[*address] = *behaviour;
        } else if (option == "--refuse" || option == "--silent") {
            if (!applyCommand(responder, value + " " + option.substr(2)))
                return fail("bad " + option + " " + value);
        } else {
            return fail("unknown option " + option);
        }
    }
    if (!ownAddress)
        return fail("--address is required");
    if (!inPrivateNamespace())
        return fail("refusing to run outside a private network namespace");

    std::string error;
    const int device = openDevice(name, *ownAddress, prefix, error);
    if (device < 0)
        return fail(error);
    // Real-time priority where allowed, so that a reply leaves when due even on a busy machine.
    sched_param priority = {};
    priority.sched_priority = 10;
    sched_setscheduler(0, SCHED_FIFO, &priority);
    std::printf("ready\n");
    std::fflush(stdout);

    std::priority_queue<Reply, std::vector<Reply>, std::greater<>> replies;
    std::string input;
    std::uint8_t packet[2048];
    for (;;) {
        timespec limit = {};
        timespec *timeout = nullptr;
        if (!replies.empty()) {
            const auto remaining = std::max(replies.top().due - Clock::now(), Clock::duration::zero());
            const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
            limit.tv_sec = static_cast<time_t>(nanoseconds / 1000000000);
            limit.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
            timeout = &limit;
        }
        pollfd fds[2] = {{device, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (ppoll(fds, 2, timeout, nullptr) < 0 && errno != EINTR)
            return fail(std::string("poll failed: ") + std::strerror(errno));
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char chunk[512];
            const ssize_t read = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (read <= 0)
                break;
            input.append(chunk, static_cast<std::size_t>(read));
            for (std::size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1)) {
                if (!applyCommand(responder, input.substr(0, end)))
                    std::fprintf(stderr, "nimbra_tunresponder: ignored command \"%s\"\n",
                                 input.substr(0, end).c_str());
            }
        }
        if (fds[0].revents & POLLIN) {
            for (ssize_t length; (length = ::read(device, packet, sizeof packet)) > 0;)
                responder.handle(packet, static_cast<std::size_t>(length), replies);
        }
        while (!replies.empty() && replies.top().due <= Clock::now()) {
            const std::vector<std::uint8_t> &reply = replies.top().packet;
            if (::write(device, reply.data(), reply.size()) < 0)
                std::fprintf(stderr, "nimbra_tunresponder: write failed: %s\n", std::strerror(errno));
            replies.pop();
        }
    }
    close(device);
    return 0;
}
