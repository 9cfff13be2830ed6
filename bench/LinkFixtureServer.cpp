// The link check benchmark's web server: HOSTS loopback addresses (127.1.x.y) on one port, every
// request answered after DELAY milliseconds: /page/N with a small HTML page titled "Site N"
// (about 280 bytes with its header), any other path with 404. Prints the port, serves until its
// standard input closes, then prints what it saw: requests, the most at once to one host and over
// all hosts, and the bytes it sent.
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
    qvn::test::HttpFixture server(addresses, 0, [delay](const auto& request, int) {
        qvn::test::HttpFixture::Reply reply;
        reply.delay = delay;
        if (!request.path.starts_with("/page/")) {
            reply.status = 404;
            reply.body = "";
            return reply;
        }
        const std::string n = request.path.substr(6);
        reply.headers = {{"Content-Type", "text/html; charset=utf-8"}};
        reply.body = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Site " + n +
                     "</title></head>\n<body><h1>Site " + n +
                     "</h1><p>A small page of the benchmark.</p></body></html>\n";
        return reply;
    });
    std::cout << server.Port() << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    std::cout << "requests " << server.Requests().size() << " per-host "
              << server.MostAtOnceOnAnyHost() << " overall " << server.MostAtOnceOverall()
              << " bytes " << server.BytesSent() << std::endl;
    return 0;
}
