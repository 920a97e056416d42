#include "support/localhttpserver.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace testsupport {

LocalHttpServer::LocalHttpServer(std::map<std::string, HttpRoute> routes, std::optional<ProxyCredentials> proxy) {
    nlohmann::json table;
    table["routes"] = nlohmann::json::object();
    for (const auto& [path, route] : routes) table["routes"][path] = {{"status", route.status}, {"lines", route.lines}};
    if (proxy) table["proxy"] = {{"user", proxy->user}, {"password", proxy->password}};
    writeFile(dir_.file("table.json"), table.dump());

    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        const std::string table = dir_.file("table.json"), record = dir_.file("record.jsonl");
        execl(CALDAVOR_TEST_PYTHON, CALDAVOR_TEST_PYTHON, CALDAVOR_TEST_HTTP_SERVER, table.c_str(), record.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    FILE* out = fdopen(pipeFds[0], "r");
    if (!out || fscanf(out, "%d", &port_) != 1) port_ = 0;
    if (out) fclose(out);
    if (port_ == 0) throw std::runtime_error("the test web service did not start");
}

LocalHttpServer::~LocalHttpServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::vector<RecordedRequest> LocalHttpServer::requests() const {
    std::vector<RecordedRequest> list;
    std::ifstream in(dir_.file("record.jsonl"));
    std::string line;
    while (std::getline(in, line)) {
        const auto json = nlohmann::json::parse(line);
        RecordedRequest& r = list.emplace_back();
        r.requestLine = json["requestline"];
        r.path = json["path"];
        r.body = json["body"];
        for (const auto& [name, value] : json["headers"].items()) r.headers[name] = value;
    }
    return list;
}

}  // namespace testsupport
