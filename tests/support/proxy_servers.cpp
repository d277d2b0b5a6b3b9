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

Tinyproxy::Tinyproxy() {
    port_ = FreeLoopbackPort();
    const std::string config = dir_.File("tinyproxy.conf");
    WriteBytes(config, "Port " + std::to_string(port_) +
                           "\n"
                           "Listen 127.0.0.1\n"
                           "Timeout 60\n"
                           "MaxClients 200\n"
                           "Allow 127.0.0.1\n"
                           "LogLevel Error\n");
    process_ =
        std::make_unique<ChildProcess>(std::vector<std::string>{"tinyproxy", "-d", "-c", config},
                                       dir_.File(""), dir_.File("tinyproxy.log"));
    started_ = process_->Started() && WaitForListener(port_);
}

Squid::Squid() {
    port_ = FreeLoopbackPort();
    // Run as root, squid works as an unprivileged user, which must reach its files.
    std::filesystem::permissions(dir_.File(""), std::filesystem::perms::all);
    const std::string config = dir_.File("squid.conf");
    WriteBytes(config, "http_port 127.0.0.1:" + std::to_string(port_) +
                           "\n"
                           "http_access allow localhost\n"
                           "http_access deny all\n"
                           "cache deny all\n"
                           "cache_mem 8 MB\n"
                           "access_log none\n"
                           "cache_log " +
                           dir_.File("cache.log") +
                           "\n"
                           "pid_filename none\n"
                           "pinger_enable off\n"
                           "coredump_dir " +
                           dir_.File("") +
                           "\n"
                           "shutdown_lifetime 0 seconds\n"
                           "visible_hostname pv-test\n");
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"squid", "-N", "-f", config},
                                              dir_.File(""), dir_.File("squid.out"));
    started_ = process_->Started() && WaitForListener(port_);
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
