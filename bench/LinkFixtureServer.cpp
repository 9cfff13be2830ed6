// The link check benchmark's web server: HOSTS loopback addresses (127.1.x.y) on one port, every
// request answered 200 after DELAY milliseconds. Prints the port, serves until its standard input
// closes, then prints what it saw: requests, the most at once to one host and over all hosts.
// Usage: qvn-bench-link-server HOSTS DELAY_MS
#include "HttpFixture.h"

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: qvn-bench-link-server HOSTS DELAY_MS\n";
        return 2;
    }
    const int hosts = std::stoi(argv[1]);
    const auto delay = std::chrono::milliseconds(std::stoi(argv[2]));
    std::vector<std::string> addresses;
    for (int h = 0; h < hosts; ++h)
        addresses.push_back("127.1." + std::to_string(h / 250) + "." + std::to_string(h % 250 + 1));
    qvn::test::HttpFixture server(addresses, 0, [delay](const auto&, int) {
        qvn::test::HttpFixture::Reply reply;
        reply.delay = delay;
        return reply;
    });
    std::cout << server.Port() << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    std::cout << "requests " << server.Requests().size() << " per-host "
              << server.MostAtOnceOnAnyHost() << " overall " << server.MostAtOnceOverall()
              << std::endl;
    return 0;
}
