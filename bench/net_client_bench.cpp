// Pages per second over one keep-alive connection: net_client_bench PORT PAGES [https].
// bench/run_net.sh runs it under Wine beside curl against the same loopback server. Over
// HTTPS the handshake and the certificate check come before the clock starts.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/http.hpp"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const int port = std::atoi(argv[1]);
  const int pages = std::atoi(argv[2]);
  const bool secure = argc > 3 && std::string(argv[3]) == "https";
  net::http client;
  // The local test certificates are made out for localhost.
  const std::string host = secure ? "localhost" : "127.0.0.1";
  client.set_address(host, port, secure);
  http_headers fields;
  fields["Connection"] = "keep-alive";
  fields["Host"] = host;
  std::size_t bytes = 0;
  try {
    const auto connecting = std::chrono::steady_clock::now();
    client.connect();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < pages; ++i) {
      client.post("/archive/",
                  "action=archive&sort=DATE&title=&start=" + std::to_string(20 * i) +
                      "&difficulty=0&platform=&lang=&type=ALL",
                  fields);
      bytes += client.read_response().body.size();
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The pages' time, the bytes, and the connect (with the handshake and the process's first
    // certificate check over HTTPS).
    std::printf("%.6f %zu %.6f\n", s, bytes, std::chrono::duration<double>(start - connecting).count());
  } catch (const net::net_exception& e) {
    std::printf("error %s\n", e.what());
    return 1;
  }
  return 0;
}
