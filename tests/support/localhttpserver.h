#pragma once
// The test web service (tests/report/httpserver.py) in a child process on
// loopback, answering from a table and recording what it was sent.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/testmachine.h"

namespace testsupport {

struct HttpRoute {
    int status = 200;
    std::vector<std::string> lines;
};

struct RecordedRequest {
    std::string requestLine, path, body;
    std::map<std::string, std::string> headers;  // by lower-case name
};

class LocalHttpServer {
public:
    struct ProxyCredentials {
        std::string user, password;
    };
    explicit LocalHttpServer(std::map<std::string, HttpRoute> routes,
                             std::optional<ProxyCredentials> proxy = std::nullopt);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::vector<RecordedRequest> requests() const;

private:
    TempDir dir_;
    int pid_ = -1;
    int port_ = 0;
};

}  // namespace testsupport
