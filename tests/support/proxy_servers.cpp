#include "support/proxy_servers.h"

#include "support/loopback_http_server.h"

#include <cstdlib>
#include <filesystem>

namespace pv::testing_support {

namespace {

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

} // namespace

LoopbackProxyProcess::LoopbackProxyProcess()
    : port_(FreeLoopbackPort()) {}

void LoopbackProxyProcess::Start(const std::vector<std::string>& argv,
                                 const std::string& configName, const std::string& config) {
    WriteBytes(dir_.File(configName), config);
    process_ = std::make_unique<ChildProcess>(argv, dir_.File(""), dir_.File("output.log"));
    started_ = process_->Started() && WaitForListener(port_);
}

Tinyproxy::Tinyproxy() {
    const std::string config = Dir().File("tinyproxy.conf");
    Start({"tinyproxy", "-d", "-c", config}, "tinyproxy.conf",
          "Port " + std::to_string(Port()) +
              "\n"
              "Listen 127.0.0.1\n"
              "Timeout 60\n"
              "MaxClients 200\n"
              "Allow 127.0.0.1\n"
              "LogLevel Error\n");
}

Squid::Squid() {
    // Run as root, squid works as an unprivileged user, which must reach its files.
    std::filesystem::permissions(Dir().File(""), std::filesystem::perms::all);
    const std::string config = Dir().File("squid.conf");
    Start({"squid", "-N", "-f", config}, "squid.conf",
          "http_port 127.0.0.1:" + std::to_string(Port()) +
              "\n"
              "http_access allow localhost\n"
              "http_access deny all\n"
              "cache deny all\n"
              "cache_mem 8 MB\n"
              "access_log none\n"
              "cache_log " +
              Dir().File("cache.log") +
              "\n"
              "pid_filename none\n"
              "pinger_enable off\n"
              "coredump_dir " +
              Dir().File("") +
              "\n"
              "shutdown_lifetime 0 seconds\n"
              "visible_hostname pv-test\n");
}

TlsFileServer::TlsFileServer(const std::string& page) {
    const auto path = [&](const char* name) { return dir_.File(name); };
    WriteBytes(path("page.html"), page);
    WriteBytes(path("server.ext"), "subjectAltName=IP:127.0.0.1\n");
    const std::string quiet = " >>" + path("openssl.log") + " 2>&1";
    const bool made =
        Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=pv-test-ca -keyout " +
            path("ca.key") + " -out " + path("ca.pem") + quiet) &&
        Run("openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout " +
            path("server.key") + " -out " + path("server.csr") + quiet) &&
        Run("openssl x509 -req -days 2 -in " + path("server.csr") + " -CA " + path("ca.pem") +
            " -CAkey " + path("ca.key") + " -CAcreateserial -extfile " + path("server.ext") +
            " -out " + path("server.pem") + quiet);
    if (!made) {
        return;
    }
    port_ = FreeLoopbackPort();
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"openssl", "s_server", "-quiet", "-accept",
                                 "127.0.0.1:" + std::to_string(port_), "-cert", path("server.pem"),
                                 "-key", path("server.key"), "-WWW"},
        dir_.File(""), path("s_server.log"));
    started_ = process_->Started() && WaitForListener(port_);
}

} // namespace pv::testing_support
