#pragma once

#include "support/child_process.h"
#include "support/temp_dir.h"

#include <memory>
#include <string>

namespace pv::testing_support {

// A proxy server program on 127.0.0.1 and a free port, in a folder of its own, serving
// loopback clients only. A test fails when Started() is false.
class LoopbackProxyProcess {
public:
    bool Started() const { return started_; }
    int Port() const { return port_; }
    // "127.0.0.1:port", as a proxy setting takes it.
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

protected:
    LoopbackProxyProcess();
    // Starts the program with its configuration, written to `configName` in the folder.
    void Start(const std::vector<std::string>& argv, const std::string& configName,
               const std::string& config);
    const TempDir& Dir() const { return dir_; }

private:
    TempDir dir_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
    bool started_ = false;
};

// tinyproxy; CONNECT is allowed to any port.
class Tinyproxy : public LoopbackProxyProcess {
public:
    Tinyproxy();
};

// squid, caching nothing.
class Squid : public LoopbackProxyProcess {
public:
    Squid();
};

// A TLS server on 127.0.0.1 (openssl s_server serving the files of its folder), with a
// certificate for 127.0.0.1 signed by a certificate authority made for the test.
class TlsFileServer {
public:
    // Serves `page` as /page.html.
    explicit TlsFileServer(const std::string& page);
    bool Started() const { return started_; }
    int Port() const { return port_; }
    // The PEM file of the test's certificate authority.
    std::string CaFile() const { return dir_.File("ca.pem"); }

private:
    TempDir dir_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
    bool started_ = false;
};

} // namespace pv::testing_support
