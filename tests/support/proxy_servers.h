#pragma once

#include "support/child_process.h"
#include "support/temp_dir.h"

#include <memory>
#include <string>

namespace pv::testing_support {

// tinyproxy on 127.0.0.1 and a free port, accepting only loopback clients; CONNECT is allowed
// to any port. Skip the test when Started() is false.
class Tinyproxy {
public:
    Tinyproxy();
    bool Started() const { return started_; }
    int Port() const { return port_; }
    // "127.0.0.1:port", as a proxy setting takes it.
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    TempDir dir_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
    bool started_ = false;
};

// squid on 127.0.0.1 and a free port, caching nothing and serving loopback clients only.
class Squid {
public:
    Squid();
    bool Started() const { return started_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    TempDir dir_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
    bool started_ = false;
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
